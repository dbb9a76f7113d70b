#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Fetches one file as a series of range requests of 40961 bytes, gathering
// the bytes in memory; the window keeps working between the requests. Every
// download starts at byte 0; nothing is kept between downloads.
class ChunkDownload : public QObject {
    Q_OBJECT
public:
    // Distance between the first bytes of two full requests.
    static constexpr qint64 kChunkSize = 40960;
    // How long one request may take: 480 polls of 50 ms.
    static constexpr int kRequestLimitMs = 480 * 50;
    // Larger files are refused before anything is buffered.
    static constexpr qint64 kMaxTotal = qint64(1) << 30;

    enum class Outcome {
        Complete,
        Refused,        // 403
        NotFound,       // 404
        TimedOut,       // an answer began but did not end in time
        ServerError,    // another status above 299
        NoRangeSupport, // anything but 206, or a range other than asked for
        Unexpected,     // no answer, a broken answer, an unreadable range
    };
    Q_ENUM(Outcome)

    ChunkDownload(QNetworkAccessManager* network, QUrl url, QObject* parent = nullptr);
    ~ChunkDownload() override;

    void setRequestLimit(int ms) { m_limitMs = ms; }
    void start();

    // The file's bytes once finished with Complete.
    const QByteArray& data() const { return m_buffer; }

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
    void request();
    void onHeaders();
    void onBodyArriving();
    void onReplyFinished();
    void onTimeout();
    void classify(bool complete);
    void acceptChunk();
    void finish(Outcome outcome);
    void dropReply();

    QNetworkAccessManager* m_network;
    QUrl m_url;
    int m_limitMs = kRequestLimitMs;
    QPointer<QNetworkReply> m_reply;
    QTimer* m_timer;
    QByteArray m_buffer;
    qint64 m_position = 0; // P: the first byte of the next request
    qint64 m_total = -1;   // T, once a range has told it
    bool m_done = false;
};
