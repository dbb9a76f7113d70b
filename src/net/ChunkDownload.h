#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <deque>

class HttpPipeline;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Fetches one file as a series of range requests of 40961 bytes whose first
// bytes step by 40960, writing each chunk into an output file as it comes;
// the window keeps working meanwhile. After the first answer several
// requests wait at once on one connection; a server that does not keep up
// with that is asked one request at a time, for the rest of the run.
class ChunkDownload : public QObject {
    Q_OBJECT
public:
    // Distance between the first bytes of two full requests.
    static constexpr qint64 kChunkSize = 40960;
    // How long one request may take: 480 polls of 50 ms.
    static constexpr int kRequestLimitMs = 480 * 50;
    // Larger files are refused before anything is written.
    static constexpr qint64 kMaxTotal = qint64(1) << 30;
    // Requests waiting at once on a pipelined connection.
    static constexpr int kPipelineDepth = 8;

    enum class Outcome {
        Complete,
        Refused,        // 403
        NotFound,       // 404
        TimedOut,       // an answer began but did not end in time
        ServerError,    // another status above 299
        NoRangeSupport, // anything but 206, or a range other than asked for
        Unexpected,     // a broken answer or an unreadable range
        Interrupted,    // no answer, or the connection broke: worth resuming
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
    // Starts from byte 0, or continues a file whose first resumeFrom bytes
    // (a multiple of kChunkSize) the output file holds already, provided
    // the server's size is still expectedTotal; otherwise it starts over.
    void start(qint64 resumeFrom = 0, qint64 expectedTotal = -1);
    // Stops; finished(Cancelled) follows. The output file stays.
    void cancel();

    // The file's size, once an answer has told it; -1 before.
    qint64 total() const { return m_total; }
    // Why the output file could not be written.
    QString writeError() const { return m_writeError; }

    // Whether pipelining is given up for this server (scheme, host, port)
    // for the rest of the run.
    static bool pipeliningRefused(const QUrl& url);

signals:
    // Just before the first request goes out.
    void starting();
    // A chunk arrived without a Content-Range header; the download then
    // ends as Unexpected.
    void contentRangeMissing();
    // A chunk was accepted: its last byte and the file's size.
    void progress(qint64 last, qint64 total);
    void finished(ChunkDownload::Outcome outcome);

private:
    // An answer as the checks see it, from either way of asking.
    struct Answer {
        bool hasStatus = false;
        int status = 0;
        bool complete = false; // the whole answer is here
        bool connectionBroke = false;
        QByteArray contentRange;
        QByteArray body;
    };

    bool canPipeline() const;
    void begin();
    void request();
    void onHeaders();
    void onBodyArriving();
    void onTimeout();
    void classify(const Answer& answer, qint64 first);
    void accept(const Answer& answer, qint64 first);
    void next();
    void fillPipeline();
    void onPipelined(const Answer& answer);
    void onPipelineBroken();
    void fallBack();
    bool writeChunk(qint64 offset, const QByteArray& body);
    Answer replyAnswer(bool complete) const;
    void finish(Outcome outcome);
    void dropReply();
    void dropPipeline();

    QNetworkAccessManager* m_network;
    QUrl m_url;
    QFile m_file;
    int m_limitMs = kRequestLimitMs;
    QPointer<QNetworkReply> m_reply;
    HttpPipeline* m_pipeline = nullptr;
    std::deque<qint64> m_asked; // first bytes of the pipelined requests, oldest first
    QTimer* m_timer;
    qint64 m_position = 0;   // P: the first byte of the next answer to accept
    qint64 m_nextAsk = 0;    // the first byte of the next pipelined request; -1: none now
    bool m_allAsked = false; // the last range has been asked for
    qint64 m_total = -1;     // T, once a range has told it
    qint64 m_expectedTotal = -1;
    qint64 m_resumeFrom = 0;
    qint64 m_have = 0; // bytes 0 .. m_have - 1 are in the file
    bool m_done = false;
    QString m_writeError;
};
