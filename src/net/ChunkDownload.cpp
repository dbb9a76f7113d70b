#include "ChunkDownload.h"

#include "ContentRange.h"
#include "HttpPipeline.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
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

QByteArray rangeValue(qint64 first) {
    return "bytes=" + QByteArray::number(first) + '-' +
           QByteArray::number(first + ChunkDownload::kChunkSize);
}

// Servers that did not keep up with several requests at once.
QSet<QString>& refusedServers() {
    static QSet<QString> servers;
    return servers;
}

QString serverOf(const QUrl& url) {
    return url.scheme() + QStringLiteral("://") + url.host() + u':' +
           QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

} // namespace

bool ChunkDownload::pipeliningRefused(const QUrl& url) {
    return refusedServers().contains(serverOf(url));
}

ChunkDownload::ChunkDownload(QNetworkAccessManager* network, QUrl url, QString outputPath,
                             QObject* parent)
    : QObject(parent), m_network(network), m_url(std::move(url)), m_file(outputPath),
      m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ChunkDownload::onTimeout);
}

ChunkDownload::~ChunkDownload() {
    dropReply();
    dropPipeline();
}

void ChunkDownload::start(qint64 resumeFrom, qint64 expectedTotal) {
    m_done = false;
    m_total = -1;
    m_writeError.clear();
    // Unbuffered, so that a full disk shows at the write that meets it.
    const bool resume = resumeFrom > 0 && expectedTotal > 0;
    const bool opened =
        m_file.open(resume ? QIODevice::ReadWrite | QIODevice::Unbuffered
                           : QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    m_resumeFrom = resume && opened && m_file.size() >= resumeFrom ? resumeFrom : 0;
    m_expectedTotal = m_resumeFrom > 0 ? expectedTotal : -1;
    m_position = m_resumeFrom;
    m_have = m_resumeFrom;
    if (!opened) {
        m_writeError = m_file.errorString();
        QTimer::singleShot(0, this, [this] { finish(Outcome::CannotWrite); });
        return;
    }
    emit starting();
    begin();
}

bool ChunkDownload::canPipeline() const {
    // Several requests at once, where nothing stands between us and the
    // server that could mix them up (a proxy), and the server has kept up.
    const QNetworkProxy proxy = m_network->proxy();
    const bool direct = proxy.type() == QNetworkProxy::NoProxy ||
                        (proxy.type() == QNetworkProxy::DefaultProxy &&
                         QNetworkProxy::applicationProxy().type() == QNetworkProxy::NoProxy &&
                         !QNetworkProxyFactory::usesSystemConfiguration());
    const bool web =
        m_url.scheme() == QLatin1String("http") || m_url.scheme() == QLatin1String("https");
    return kPipelineDepth > 1 && direct && web && !pipeliningRefused(m_url);
}

void ChunkDownload::begin() {
    if (!canPipeline()) {
        request();
        return;
    }
    // One connection, as one request at a time would use: the first answer
    // (which tells the size) comes on it too.
    m_pipeline = new HttpPipeline(m_url, kMaxAnswer, this);
    connect(m_pipeline, &HttpPipeline::answered, this, [this](const HttpPipeline::Answer& a) {
        Answer answer;
        answer.hasStatus = true;
        answer.status = a.status;
        answer.complete = true;
        answer.contentRange = a.header("Content-Range");
        answer.body = a.body;
        onPipelined(answer);
    });
    connect(m_pipeline, &HttpPipeline::broken, this, &ChunkDownload::onPipelineBroken);
    m_nextAsk = m_position;
    m_allAsked = false;
    fillPipeline();
}

void ChunkDownload::cancel() {
    finish(Outcome::Cancelled);
}

void ChunkDownload::request() {
    QNetworkRequest req(m_url);
    req.setRawHeader("Range", rangeValue(m_position));
    req.setHeader(QNetworkRequest::ContentTypeHeader,
                  QByteArrayLiteral("application/octet-stream"));
    m_reply = m_network->get(req);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ChunkDownload::onHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &ChunkDownload::onBodyArriving);
    connect(m_reply, &QNetworkReply::finished, this,
            [this] { classify(replyAnswer(true), m_position); });
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

void ChunkDownload::dropPipeline() {
    if (!m_pipeline)
        return;
    m_pipeline->disconnect(this);
    m_pipeline->close();
    m_pipeline->deleteLater();
    m_pipeline = nullptr;
    m_asked.clear();
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
        classify(replyAnswer(true), m_position);
}

void ChunkDownload::onTimeout() {
    if (m_pipeline && !m_asked.empty()) {
        const HttpPipeline::Answer& now = m_pipeline->current();
        Answer answer;
        answer.hasStatus = now.headRead;
        answer.status = now.status;
        classify(answer, m_asked.front());
        return;
    }
    classify(replyAnswer(false), m_position);
}

ChunkDownload::Answer ChunkDownload::replyAnswer(bool complete) const {
    Answer answer;
    if (!m_reply)
        return answer;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    answer.hasStatus = status.isValid();
    answer.status = status.toInt();
    answer.complete = complete;
    answer.connectionBroke = m_reply->isFinished() && isNetworkFailure(m_reply->error());
    answer.contentRange = m_reply->rawHeader("Content-Range");
    // A 206 that is still arriving is no range answer (see onBodyArriving).
    if (answer.status == 206 && !m_reply->isFinished())
        answer.status = 200;
    return answer;
}

void ChunkDownload::classify(const Answer& answer, qint64 first) {
    if (m_done)
        return;
    m_timer->stop();
    if (!answer.hasStatus) {
        // No answer at all: refused, reset, or silent until the limit.
        finish(Outcome::Interrupted);
        return;
    }
    const int status = answer.status;
    if (status == 416) {
        // Past the end: complete only when nothing is missing, that is for
        // an empty file, or when every byte is here already.
        const bool emptyFile = first == 0 && m_have == 0;
        const bool allHere = m_total >= 0 && m_have == m_total;
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
    if (!answer.complete) {
        finish(Outcome::TimedOut);
        return;
    }
    if (answer.connectionBroke) {
        // The connection broke in the middle of the answer.
        finish(Outcome::Interrupted);
        return;
    }
    if (status > 299) {
        finish(Outcome::ServerError);
        return;
    }
    if (status != 206) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    if (m_reply) {
        Answer withBody = answer;
        withBody.body = m_reply->readAll();
        dropReply();
        accept(withBody, first);
        return;
    }
    accept(answer, first);
}

void ChunkDownload::accept(const Answer& answer, qint64 first) {
    if (answer.contentRange.isEmpty()) {
        emit contentRangeMissing();
        finish(Outcome::Unexpected);
        return;
    }
    const auto range = ContentRange::parse(answer.contentRange);
    if (!range) {
        finish(Outcome::Unexpected);
        return;
    }
    // A server that answers another range than the one asked for, or whose
    // file changes size between chunks, cannot be pieced together.
    if (range->first != first || !range->isConsistent() ||
        (m_total >= 0 && range->total != m_total)) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    if (answer.body.size() != range->last - range->first + 1 || range->total > kMaxTotal) {
        finish(Outcome::Unexpected);
        return;
    }
    if (m_total < 0 && m_expectedTotal >= 0 && range->total != m_expectedTotal) {
        // The file changed on the server since the part we hold: start over.
        m_expectedTotal = -1;
        m_position = m_have = 0;
        dropPipeline();
        if (!m_file.resize(0)) {
            m_writeError = m_file.errorString();
            finish(Outcome::CannotWrite);
            return;
        }
        begin();
        return;
    }
    m_total = range->total;
    if (!writeChunk(range->first, answer.body)) {
        finish(Outcome::CannotWrite);
        return;
    }
    m_have = std::max(m_have, range->last + 1);
    emit progress(range->last, range->total);
    if (m_done)
        return;

    if (range->total - range->last == 1) {
        finish(m_have == range->total ? Outcome::Complete : Outcome::Unexpected);
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
    next();
}

bool ChunkDownload::writeChunk(qint64 offset, const QByteArray& body) {
    if (m_file.seek(offset) && m_file.write(body) == body.size())
        return true;
    m_writeError = m_file.errorString();
    return false;
}

void ChunkDownload::next() {
    if (m_pipeline) {
        fillPipeline();
        return;
    }
    // Let the window handle what is pending before the next request.
    QTimer::singleShot(0, this, [this] {
        if (!m_done)
            request();
    });
}

void ChunkDownload::fillPipeline() {
    const bool idle = m_asked.empty();
    // Until the first answer tells the size, one request; then as many as
    // the pipeline holds, up to the first whose range reaches the last byte.
    if (m_nextAsk < 0 && !m_allAsked && m_total >= 0 && idle)
        m_nextAsk = m_position;
    while (int(m_asked.size()) < kPipelineDepth && m_nextAsk >= 0) {
        m_pipeline->get(
            {{"Range", rangeValue(m_nextAsk)}, {"Content-Type", "application/octet-stream"}});
        m_asked.push_back(m_nextAsk);
        if (m_total < 0) {
            m_nextAsk = -1;
        } else if (m_nextAsk + kChunkSize >= m_total - 1) {
            m_nextAsk = -1;
            m_allAsked = true;
        } else {
            m_nextAsk += kChunkSize;
        }
    }
    if (idle)
        m_timer->start(m_limitMs);
}

void ChunkDownload::onPipelined(const Answer& answer) {
    if (m_done || m_asked.empty())
        return;
    const qint64 first = m_asked.front();
    m_asked.pop_front();
    m_timer->start(m_limitMs);
    // A server that answers a range request with the whole file, answers
    // out of turn, or left a hole (a short answer) is asked again, one
    // request at a time.
    // A redirect is left to the ordinary requests, which follow it. The
    // first answer, which came alone, is judged as an ordinary one.
    const auto range = ContentRange::parse(answer.contentRange);
    if (first != m_position || (answer.status == 200 && m_total >= 0) ||
        (answer.status >= 300 && answer.status < 400) ||
        (answer.status == 206 && range && range->first != first)) {
        fallBack();
        return;
    }
    classify(answer, first);
}

void ChunkDownload::onPipelineBroken() {
    // Broken in the middle of an answer, the connection is what failed; broken
    // between answers, the server may just not take several at once.
    const HttpPipeline::Answer& now = m_pipeline->current();
    if (!now.headRead || m_asked.empty()) {
        fallBack();
        return;
    }
    Answer answer;
    answer.hasStatus = true;
    answer.status = now.status;
    answer.complete = true;
    answer.connectionBroke = true;
    classify(answer, m_asked.front());
}

void ChunkDownload::fallBack() {
    if (m_done)
        return;
    refusedServers().insert(serverOf(m_url));
    dropPipeline();
    m_timer->stop();
    QTimer::singleShot(0, this, [this] {
        if (!m_done && !m_reply)
            request();
    });
}

void ChunkDownload::finish(Outcome outcome) {
    if (m_done)
        return;
    m_done = true;
    m_timer->stop();
    dropReply();
    dropPipeline();
    m_file.close();
    emit finished(outcome);
}
