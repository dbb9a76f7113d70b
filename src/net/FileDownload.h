#pragma once

#include "ChunkDownload.h"

#include <QObject>
#include <QString>

// Downloads one URL into a temporary file and moves that over the final
// file; silent. Afterwards either the final file holds the new bytes and the
// temporary file is gone, or the final file is exactly as before.
class FileDownload : public QObject {
    Q_OBJECT
public:
    FileDownload(QNetworkAccessManager* network, const QUrl& url, QString tempPath,
                 QString finalPath, QObject* parent = nullptr);

    void setRequestLimit(int ms) { m_chunks->setRequestLimit(ms); }
    void start();

signals:
    // Once, with whether the final file was replaced.
    void finished(bool replaced);

private:
    void onFinished(ChunkDownload::Outcome outcome);
    void end(bool replaced);

    ChunkDownload* m_chunks;
    QString m_tempPath;
    QString m_finalPath;
};
