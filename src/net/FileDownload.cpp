#include "FileDownload.h"

#include "FileOps.h"

#include <QTimer>

FileDownload::FileDownload(QNetworkAccessManager* network, const QUrl& url, QString tempPath,
                           QString finalPath, QObject* parent)
    : QObject(parent), m_chunks(new ChunkDownload(network, url, this)),
      m_tempPath(std::move(tempPath)), m_finalPath(std::move(finalPath)) {
    connect(m_chunks, &ChunkDownload::finished, this, &FileDownload::onFinished);
}

void FileDownload::start() {
    // The temporary file exists, empty, for as long as the transfer runs.
    if (!FileOps::createEmpty(m_tempPath)) {
        // Reported from the event loop, like every other ending.
        QTimer::singleShot(0, this, [this] { end(false); });
        return;
    }
    m_chunks->start();
}

void FileDownload::onFinished(ChunkDownload::Outcome outcome) {
    if (outcome != ChunkDownload::Outcome::Complete) {
        end(false);
        return;
    }
    end(FileOps::writeAtomically(m_tempPath, m_chunks->data()) &&
        FileOps::replaceFile(m_tempPath, m_finalPath));
}

void FileDownload::end(bool replaced) {
    FileOps::deleteIfExists(m_tempPath);
    emit finished(replaced);
}
