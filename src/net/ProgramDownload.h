#pragma once

#include "ChunkDownload.h"

#include <QObject>
#include <QString>

// Downloads one program into the cache folder. The cache file exists, empty,
// while the transfer runs; the bytes go into a partial file beside it (see
// PartialFiles), which takes the program's name only when complete. A
// download that breaks off keeps its part for the next one to go on from.
class ProgramDownload : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Complete,
        Refused,
        NotFound,
        TimedOut,
        ServerError,
        NoRangeSupport,
        Failed,     // no message of its own
        Untrusted,  // the server's certificate was refused, or it spoke no TLS
        UnsafeName, // refused before anything was made
        Cancelled,
        CannotSave, // the cache folder cannot take the file; see saveProblem()
    };
    Q_ENUM(Result)

    // downloadBase ends with "/"; cacheFolder with its separator.
    ProgramDownload(QNetworkAccessManager* network, const QString& downloadBase,
                    const QString& serverFolder, const QString& cacheFolder, QString programName,
                    QObject* parent = nullptr);

    void setRequestLimit(int ms) { m_chunks->setRequestLimit(ms); }
    void start();
    // Stops; finished(Cancelled) follows and the part stays.
    void cancel();
    // Why the program could not be saved, in a parent's words.
    QString saveProblem() const { return m_saveProblem; }

    const QString& programName() const { return m_name; }
    const QString& cachePath() const { return m_cachePath; }
    const QUrl& url() const { return m_url; }

    // The program URL: base + folder + "/fla/" + name + ".swf", the name
    // percent-encoded as UTF-8.
    static QUrl programUrl(const QString& downloadBase, const QString& serverFolder,
                           const QString& programName);
    // The percentage shown while downloading: the integer part of
    // (last / total) x 100.
    static int percent(qint64 last, qint64 total);

signals:
    void starting();
    void contentRangeMissing();
    void progress(int percent);
    void finished(ProgramDownload::Result result);

private:
    void onFinished(ChunkDownload::Outcome outcome);
    void end(Result result, bool keepPart);

    void cannotSave(const QString& reason);
    void emitFinished(Result result);

    ChunkDownload* m_chunks = nullptr;
    QString m_saveProblem;
    bool m_ended = false;
    QString m_name;
    QString m_cachePath;
    QUrl m_url;
    bool m_safe = false;
};
