#pragma once

#include "PipelineDepth.h"
#include "RangeTransport.h"
#include "RemoteFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QUrl>
#include <deque>
#include <optional>

class QNetworkAccessManager;
class QTimer;

// Fetches one file as a series of range requests of 40961 bytes whose first
// bytes step by 40960, writing each chunk into an output file as it comes;
// the window keeps working meanwhile. This is the protocol: what to ask,
// what each answer means, and where its bytes go. The requests travel on a
// RangeTransport: where nothing stands between us and the server, several
// wait at once on one connection; behind a proxy, or once a server has
// answered in a way that cannot be pipelined, Qt's client asks one at a
// time.
class ChunkDownload : public QObject {
    Q_OBJECT
public:
    // Distance between the first bytes of two full requests.
    static constexpr qint64 kChunkSize = 40960;
    // How long the answer due next may take, counted from when it became
    // due (the one before it arrived, or it was sent).
    static constexpr int kRequestLimitMs = 24000;
    // Larger files are refused before anything is written.
    static constexpr qint64 kMaxTotal = qint64(1) << 30;
    // Answers carry at most one chunk; an error page may be somewhat larger,
    // but nothing a download needs to keep. Beyond this an answer is judged
    // on what has arrived.
    static constexpr qint64 kMaxAnswer = kChunkSize + 1 + 64 * 1024;

    enum class Outcome {
        Complete,
        Refused,        // 403
        NotFound,       // 404
        TimedOut,       // an answer began but did not end in time
        ServerError,    // another status above 299
        NoRangeSupport, // anything but 206, or a range other than asked for
        Unexpected,     // a broken answer or an unreadable range
        Interrupted,    // no answer, or the connection broke: worth resuming
        Untrusted,      // no secure connection: the certificate was refused, or no TLS
        CannotWrite,    // the output file could not be written
        Cancelled,
    };
    Q_ENUM(Outcome)

    // outputPath receives the bytes; what becomes of it afterwards is the
    // caller's.
    ChunkDownload(QNetworkAccessManager* network, QUrl url, QString outputPath,
                  QObject* parent = nullptr);
    ~ChunkDownload() override;

    void setRequestLimit(int ms) { m_limitMs = ms; }
    // Starts from byte 0, or goes on after what an earlier download left,
    // provided the server still has that file (the same size and
    // validators); otherwise it starts over.
    void start(const Resume& resume);
    void start() { start(Resume()); }
    // Stops; finished(Cancelled) follows. The output file stays.
    void cancel();

    // The file's size, once an answer has told it; -1 before.
    qint64 total() const { return m_total; }
    // Why the output file could not be written.
    QString writeError() const { return m_writeError; }
    // Whether requests are pipelined at present.
    bool pipelining() const { return m_pipelined; }

    // Whether pipelining is given up for this server (scheme, host, port)
    // for the rest of the run.
    static bool pipeliningRefused(const QUrl& url);

signals:
    // Just before the first request goes out.
    void starting();
    // A chunk arrived without a Content-Range header; the download then
    // ends as Unexpected.
    void contentRangeMissing();
    // The first answer of the file told its size and validators; worth
    // keeping beside a part that may be gone on from.
    void identified(const RemoteFile& file);
    // A chunk was accepted: its last byte and the file's size.
    void progress(qint64 last, qint64 total);
    void finished(ChunkDownload::Outcome outcome);

private:
    void useTransport(bool pipelined);
    void ask();
    void onHead(const RangeTransport::Head& head);
    void onBodyArriving(qint64 received);
    void onAnswered(const RangeTransport::Head& head, const QByteArray& body);
    void onTimeout();
    void judge(bool complete, const QByteArray& body, bool tooLarge);
    void accept(const QByteArray& body, qint64 first);
    bool identify(const RemoteFile& file);
    // The validator every request carries as If-Range once the file is
    // known: its strong ETag, else its Last-Modified; empty without one.
    QByteArray validator() const;
    // Whether an answer's validators say the file is no longer the one the
    // first answer described.
    bool changed(const RangeTransport::Head& head) const;
    // The file changed under the download: from byte 0 again, once a click.
    void fileChanged();
    void startOver(const std::optional<RemoteFile>& file);
    void fallBack();
    void armTimer();
    bool writeChunk(qint64 offset, const QByteArray& body);
    void finish(Outcome outcome);
    void dropTransport();

    QNetworkAccessManager* m_network;
    QUrl m_url;
    QFile m_file;
    int m_limitMs = kRequestLimitMs;
    RangeTransport* m_transport = nullptr;
    bool m_pipelined = false;
    PipelineDepth m_depth{kChunkSize + 1};
    QElapsedTimer m_clock;
    qint64 m_aloneSentNs = -1;  // when the only waiting request was sent
    std::deque<qint64> m_asked; // first bytes asked for and unanswered, oldest first
    std::optional<RangeTransport::Head> m_head; // of the oldest, once here
    QTimer* m_timer;
    RemoteFile m_identity;      // what the first answer said of the file
    bool m_changedOnce = false; // it changed once under this download
    qint64 m_position = 0;      // P: the first byte of the next answer to accept
    qint64 m_nextAsk = 0;       // the first byte of the next request; -1: none now
    qint64 m_total = -1;        // T, once a range has told it
    Resume m_resume;            // until the first answer has confirmed it
    qint64 m_have = 0;          // bytes 0 .. m_have - 1 are in the file
    bool m_done = false;
    QString m_writeError;
};
