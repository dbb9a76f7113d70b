#include "FileDownload.h"

#include "base/FileOps.h"

FileDownload::FileDownload(QNetworkAccessManager* network, const QUrl& url, QString tempPath,
                           QString finalPath, QObject* parent)
    : QObject(parent), m_chunks(new ChunkDownload(network, url, tempPath, this)),
      m_tempPath(std::move(tempPath)), m_finalPath(std::move(finalPath)) {
    connect(m_chunks, &ChunkDownload::finished, this, &FileDownload::onFinished);
}

void FileDownload::start() {
    // The temporary file exists, empty at first, for as long as the
    // transfer runs.
    m_chunks->start();
}

void FileDownload::onFinished(ChunkDownload::Outcome outcome) {
    end(outcome == ChunkDownload::Outcome::Complete &&
        FileOps::replaceFile(m_tempPath, m_finalPath));
}

void FileDownload::end(bool replaced) {
    FileOps::deleteIfExists(m_tempPath);
    emit finished(replaced);
}
