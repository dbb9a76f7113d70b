#include "ChunkDownload.h"

#include "ContentRange.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Answers carry at most one chunk; an error page may be somewhat larger,
// but nothing a download needs to keep.
constexpr qint64 kMaxAnswer = ChunkDownload::kChunkSize + 1 + 64 * 1024;

bool isNetworkFailure(QNetworkReply::NetworkError error) {
    // Below 200: the connection, the proxy or TLS failed; above are answers
    // the status code speaks for.
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

} // namespace

ChunkDownload::ChunkDownload(QNetworkAccessManager* network, QUrl url, QObject* parent)
    : QObject(parent), m_network(network), m_url(std::move(url)), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ChunkDownload::onTimeout);
}

ChunkDownload::~ChunkDownload() {
    dropReply();
}

void ChunkDownload::start() {
    m_position = 0;
    m_total = -1;
    m_buffer.clear();
    m_done = false;
    emit starting();
    request();
}

void ChunkDownload::request() {
    QNetworkRequest req(m_url);
    req.setRawHeader("Range", "bytes=" + QByteArray::number(m_position) + '-' +
                                  QByteArray::number(m_position + kChunkSize));
    req.setHeader(QNetworkRequest::ContentTypeHeader,
                  QByteArrayLiteral("application/octet-stream"));
    m_reply = m_network->get(req);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ChunkDownload::onHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &ChunkDownload::onBodyArriving);
    connect(m_reply, &QNetworkReply::finished, this, &ChunkDownload::onReplyFinished);
    m_timer->start(m_limitMs);
}

void ChunkDownload::dropReply() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void ChunkDownload::onHeaders() {
    // A file too large to hold is refused before its bytes arrive.
    if (!m_reply || m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 206)
        return;
    if (const auto range = ContentRange::parse(m_reply->rawHeader("Content-Range")))
        if (range->total > kMaxTotal)
            finish(Outcome::Unexpected);
}

void ChunkDownload::onBodyArriving() {
    // An answer far larger than the range asked for is not one to keep:
    // decide on what is known instead of buffering it.
    if (m_reply && m_reply->bytesAvailable() > kMaxAnswer)
        classify(true);
}

void ChunkDownload::onReplyFinished() {
    classify(true);
}

void ChunkDownload::onTimeout() {
    classify(false);
}

void ChunkDownload::classify(bool complete) {
    if (m_done || !m_reply)
        return;
    m_timer->stop();
    const QVariant statusValue = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid()) {
        // No answer at all: refused, reset, or silent until the limit.
        finish(Outcome::Unexpected);
        return;
    }
    const int status = statusValue.toInt();
    if (status == 416) {
        // Past the end: complete only when nothing is missing, that is for
        // an empty file, or when every byte is here already.
        const bool emptyFile = m_position == 0 && m_buffer.isEmpty();
        const bool allHere = m_total >= 0 && m_buffer.size() == m_total;
        finish(emptyFile || allHere ? Outcome::Complete : Outcome::Unexpected);
        return;
    }
    if (status == 403) {
        finish(Outcome::Refused);
        return;
    }
    if (status == 404) {
        finish(Outcome::NotFound);
        return;
    }
    if (!complete) {
        finish(Outcome::TimedOut);
        return;
    }
    if (m_reply->isFinished() && isNetworkFailure(m_reply->error())) {
        // The connection broke in the middle of the answer.
        finish(Outcome::Unexpected);
        return;
    }
    if (status > 299) {
        finish(Outcome::ServerError);
        return;
    }
    if (status != 206 || !m_reply->isFinished()) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    acceptChunk();
}

void ChunkDownload::acceptChunk() {
    const QByteArray body = m_reply->readAll();
    const QByteArray header = m_reply->rawHeader("Content-Range");
    if (header.isEmpty()) {
        emit contentRangeMissing();
        finish(Outcome::Unexpected);
        return;
    }
    const auto range = ContentRange::parse(header);
    if (!range) {
        finish(Outcome::Unexpected);
        return;
    }
    // A server that answers another range than the one asked for, or whose
    // file changes size between chunks, cannot be pieced together.
    if (range->first != m_position || !range->isConsistent() ||
        (m_total >= 0 && range->total != m_total)) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    if (body.size() != range->last - range->first + 1) {
        finish(Outcome::Unexpected);
        return;
    }
    m_total = range->total;
    if (m_buffer.size() < range->last + 1)
        m_buffer.resize(range->last + 1);
    std::copy(body.cbegin(), body.cend(), m_buffer.begin() + range->first);
    dropReply();
    emit progress(range->last, range->total);
    if (m_done)
        return;

    if (range->total - range->last == 1) {
        finish(m_buffer.size() == range->total ? Outcome::Complete : Outcome::Unexpected);
        return;
    }
    // The next range starts at the last byte received: right after a full
    // chunk, as always, and without a hole after a short one. A chunk that
    // brought nothing new would repeat for ever.
    if (range->last <= m_position) {
        finish(Outcome::Unexpected);
        return;
    }
    m_position = range->last;
    // Let the window handle what is pending before the next request.
    QTimer::singleShot(0, this, [this] {
        if (!m_done)
            request();
    });
}

void ChunkDownload::finish(Outcome outcome) {
    if (m_done)
        return;
    m_done = true;
    m_timer->stop();
    dropReply();
    if (outcome != Outcome::Complete)
        m_buffer.clear();
    emit finished(outcome);
}
