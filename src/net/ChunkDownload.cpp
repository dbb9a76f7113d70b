#include "ChunkDownload.h"

#include "ContentRange.h"
#include "NetworkSetup.h"
#include "PipelinedTransport.h"
#include "QtRangeTransport.h"
#include "base/FileOps.h"

#include <QNetworkAccessManager>
#include <QSet>
#include <QTimer>

namespace {

QByteArray rangeValue(qint64 first) {
    return "bytes=" + QByteArray::number(first) + '-' +
           QByteArray::number(first + ChunkDownload::kChunkSize);
}

// Servers that answered in a way that cannot be pipelined.
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
    dropTransport();
}

void ChunkDownload::start(const Resume& resume) {
    m_done = false;
    m_total = -1;
    m_writeError.clear();
    m_asked.clear();
    m_head.reset();
    m_depth = PipelineDepth(kChunkSize + 1);
    // Unbuffered, so that a full disk shows at the write that meets it.
    const bool resuming = resume.from > 0 && resume.file.total > resume.from;
    QString error;
    const bool opened = FileOps::openPlain(
        m_file,
        (resuming ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate) |
            QIODevice::Unbuffered,
        &error);
    m_resume = resuming && opened && m_file.size() >= resume.from ? resume : Resume();
    if (opened && m_resume.from == 0 && m_file.size() > 0 && !m_file.resize(0))
        error = m_file.errorString();
    if (!opened || !error.isEmpty()) {
        m_writeError = error;
        QTimer::singleShot(0, this, [this] { finish(Outcome::CannotWrite); });
        return;
    }
    m_position = m_have = m_nextAsk = m_resume.from;
    emit starting();
    m_clock.start();
    const bool web =
        m_url.scheme() == QLatin1String("http") || m_url.scheme() == QLatin1String("https");
    useTransport(web && NetworkSetup::goesStraight(*m_network, m_url) && !pipeliningRefused(m_url));
    ask();
}

void ChunkDownload::cancel() {
    finish(Outcome::Cancelled);
}

void ChunkDownload::useTransport(bool pipelined) {
    dropTransport();
    m_pipelined = pipelined;
    if (pipelined)
        m_transport = new PipelinedTransport(m_url, this);
    else
        m_transport = new QtRangeTransport(m_network, m_url, this);
    connect(m_transport, &RangeTransport::headArrived, this, &ChunkDownload::onHead);
    connect(m_transport, &RangeTransport::bodyArriving, this, &ChunkDownload::onBodyArriving);
    connect(m_transport, &RangeTransport::answered, this, &ChunkDownload::onAnswered);
    connect(m_transport, &RangeTransport::interrupted, this,
            [this] { finish(Outcome::Interrupted); });
    connect(m_transport, &RangeTransport::untrusted, this, [this] { finish(Outcome::Untrusted); });
    connect(m_transport, &RangeTransport::unreadable, this, &ChunkDownload::fallBack);
}

void ChunkDownload::dropTransport() {
    if (!m_transport)
        return;
    m_transport->disconnect(this);
    m_transport->close();
    m_transport->deleteLater();
    m_transport = nullptr;
}

void ChunkDownload::ask() {
    if (m_done)
        return;
    // Until an answer has told the size, one request; then as many as the
    // link holds, up to the first whose range reaches the last byte.
    const size_t limit = m_total < 0 || !m_pipelined
                             ? 1
                             : size_t(std::min(m_transport->capacity(), m_depth.depth()));
    while (m_asked.size() < limit && m_nextAsk >= 0) {
        if (m_asked.empty())
            m_aloneSentNs = m_clock.nsecsElapsed();
        m_asked.push_back(m_nextAsk);
        RangeTransport::Headers headers{{"Range", rangeValue(m_nextAsk)},
                                        {"Content-Type", "application/octet-stream"}};
        // The range only of the very file already begun; a server with
        // another answers with the whole of it.
        if (const QByteArray known = validator(); !known.isEmpty())
            headers.append({"If-Range", known});
        m_transport->ask(headers);
        if (m_total < 0) {
            m_nextAsk = -1;
        } else if (m_nextAsk + kChunkSize >= m_total - 1) {
            m_nextAsk = -1;
        } else {
            m_nextAsk += kChunkSize;
        }
    }
    armTimer();
}

void ChunkDownload::armTimer() {
    // The time-out runs for the answer due next, from when it became due:
    // the same limit on every path.
    if (m_asked.empty())
        m_timer->stop();
    else
        m_timer->start(m_limitMs);
}

void ChunkDownload::onHead(const RangeTransport::Head& head) {
    if (m_done || m_asked.empty())
        return;
    if (m_aloneSentNs >= 0) {
        m_depth.roundTrip(m_clock.nsecsElapsed() - m_aloneSentNs);
        m_aloneSentNs = -1;
    }
    m_head = head;
    // These statuses decide before the answer is complete.
    if (head.status == 403 || head.status == 404 || head.status == 416) {
        judge(true, {}, false);
        return;
    }
    // A file too large to hold is refused before its bytes arrive.
    if (head.status == 206)
        if (const auto range = ContentRange::parse(head.header("Content-Range")))
            if (range->total > kMaxTotal)
                finish(Outcome::Unexpected);
}

void ChunkDownload::onBodyArriving(qint64 received) {
    // An answer far larger than the range asked for is not one to keep:
    // judge it on what is known instead of holding it.
    if (!m_done && received > kMaxAnswer)
        judge(true, {}, true);
}

void ChunkDownload::onAnswered(const RangeTransport::Head& head, const QByteArray& body) {
    if (m_done || m_asked.empty())
        return;
    m_head = head;
    judge(true, body, false);
}

void ChunkDownload::onTimeout() {
    judge(false, {}, false);
}

void ChunkDownload::judge(bool complete, const QByteArray& body, bool tooLarge) {
    if (m_done || m_asked.empty())
        return;
    if (!m_head) {
        // No answer at all: refused, reset, or silent until the limit.
        finish(Outcome::Interrupted);
        return;
    }
    const qint64 first = m_asked.front();
    const int status = m_head->status;
    if (status == 416) {
        // Past the end: complete only when nothing is missing, that is for
        // an empty file, or when every byte is here already. The file a
        // part was taken from was longer: this is another one.
        if (m_resume.from > 0)
            startOver(std::nullopt);
        else
            finish((first == 0 && m_have == 0) || (m_total >= 0 && m_have == m_total)
                       ? Outcome::Complete
                       : Outcome::Unexpected);
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
    // The whole file where the range was asked for under If-Range: the
    // file is another now.
    if (status == 200 && !validator().isEmpty()) {
        fileChanged();
        return;
    }
    // A redirect, or the whole file for a later range, is asked again one
    // request at a time: Qt's client follows redirects, and tells a server
    // without ranges by its first answer.
    if (m_pipelined && ((status >= 300 && status < 400) || (status == 200 && m_total >= 0))) {
        fallBack();
        return;
    }
    if (status > 299) {
        finish(Outcome::ServerError);
        return;
    }
    if (status != 206 || tooLarge) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    m_asked.pop_front();
    accept(body, first);
}

void ChunkDownload::accept(const QByteArray& body, qint64 first) {
    const RangeTransport::Head head = *std::exchange(m_head, std::nullopt);
    const QByteArray header = head.header("Content-Range");
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
    // A range other than the one asked for cannot be pieced together; on a
    // pipelined connection it is asked again, one request at a time.
    if (range->first != first) {
        if (m_pipelined)
            fallBack();
        else
            finish(Outcome::NoRangeSupport);
        return;
    }
    // A file that changes size between chunks cannot be pieced together.
    if (!range->isConsistent() || (m_total >= 0 && range->total != m_total)) {
        finish(Outcome::NoRangeSupport);
        return;
    }
    if (body.size() != range->last - range->first + 1 || range->total > kMaxTotal) {
        finish(Outcome::Unexpected);
        return;
    }
    if (m_total < 0 && !identify({range->total, head.header("ETag"), head.header("Last-Modified")}))
        return;
    if (changed(head)) {
        fileChanged();
        return;
    }
    if (!writeChunk(range->first, body)) {
        finish(Outcome::CannotWrite);
        return;
    }
    m_have = std::max(m_have, range->last + 1);
    m_depth.answered(m_clock.nsecsElapsed(), body.size());
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
    if (range->last <= first) {
        finish(Outcome::Unexpected);
        return;
    }
    m_position = range->last;
    if (!m_asked.empty()) {
        // A short answer with requests waiting behind it leaves a hole.
        if (range->last < first + kChunkSize)
            fallBack();
        else
            ask();
        return;
    }
    m_nextAsk = m_position;
    if (m_pipelined) {
        ask();
        return;
    }
    // Let the window handle what is pending before the next request.
    QTimer::singleShot(0, this, [this] { ask(); });
}

bool ChunkDownload::identify(const RemoteFile& file) {
    if (m_resume.from > 0) {
        // Going on is only safe with the very file the part was taken from.
        if (!file.provablySameAs(m_resume.file)) {
            startOver(file);
            return false;
        }
        m_resume = Resume();
    } else {
        emit identified(file);
    }
    m_identity = file;
    m_total = file.total;
    return true;
}

QByteArray ChunkDownload::validator() const {
    const RemoteFile& file = m_total >= 0 ? m_identity : m_resume.file;
    if (!file.etag.isEmpty() && !file.etag.startsWith("W/"))
        return file.etag;
    return file.lastModified;
}

bool ChunkDownload::changed(const RangeTransport::Head& head) const {
    const QByteArray etag = head.header("ETag"), modified = head.header("Last-Modified");
    return (!etag.isEmpty() && etag != m_identity.etag) ||
           (!modified.isEmpty() && modified != m_identity.lastModified);
}

void ChunkDownload::fileChanged() {
    // A file that keeps changing cannot be fetched now; the part holds
    // nothing of it that would be gone on from.
    if (std::exchange(m_changedOnce, true)) {
        finish(Outcome::Interrupted);
        return;
    }
    startOver(std::nullopt);
}

void ChunkDownload::startOver(const std::optional<RemoteFile>& file) {
    m_resume = Resume();
    m_identity = RemoteFile();
    m_asked.clear();
    m_head.reset();
    if (!m_file.resize(0)) {
        m_writeError = m_file.errorString();
        finish(Outcome::CannotWrite);
        return;
    }
    m_position = m_have = m_nextAsk = 0;
    m_total = -1;
    // Recorded at once, so that the part never stands beside another
    // file's size and validators.
    if (file)
        emit identified(*file);
    // What is still arriving belongs to the old request: a new connection.
    useTransport(m_pipelined);
    ask();
}

void ChunkDownload::fallBack() {
    if (m_done)
        return;
    refusedServers().insert(serverOf(m_url));
    useTransport(false);
    m_asked.clear();
    m_head.reset();
    m_nextAsk = m_position;
    ask();
}

bool ChunkDownload::writeChunk(qint64 offset, const QByteArray& body) {
    if (m_file.seek(offset) && m_file.write(body) == body.size())
        return true;
    m_writeError = m_file.errorString();
    return false;
}

void ChunkDownload::finish(Outcome outcome) {
    if (m_done)
        return;
    m_done = true;
    m_timer->stop();
    dropTransport();
    m_file.close();
    emit finished(outcome);
}
