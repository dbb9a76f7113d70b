#include "ProgramDownload.h"

#include "FileOps.h"
#include "catalogue/ProgramName.h"

#include <QTimer>
#include <cmath>

ProgramDownload::ProgramDownload(QNetworkAccessManager* network, const QString& downloadBase,
                                 const QString& serverFolder, const QString& cacheFolder,
                                 QString programName, QObject* parent)
    : QObject(parent), m_name(std::move(programName)) {
    const auto path = ProgramName::swfPath(cacheFolder, m_name);
    m_safe = path.has_value();
    if (m_safe) {
        m_cachePath = *path;
        m_url = programUrl(downloadBase, serverFolder, m_name);
    }
    m_chunks = new ChunkDownload(network, m_url, this);
    connect(m_chunks, &ChunkDownload::starting, this, &ProgramDownload::starting);
    connect(m_chunks, &ChunkDownload::contentRangeMissing, this,
            &ProgramDownload::contentRangeMissing);
    connect(m_chunks, &ChunkDownload::progress, this,
            [this](qint64 last, qint64 total) { emit progress(percent(last, total)); });
    connect(m_chunks, &ChunkDownload::finished, this, &ProgramDownload::onFinished);
}

QUrl ProgramDownload::programUrl(const QString& downloadBase, const QString& serverFolder,
                                 const QString& programName) {
    const QByteArray path = QUrl::toPercentEncoding(serverFolder) + "/fla/" +
                            QUrl::toPercentEncoding(programName) + ".swf";
    return QUrl::fromEncoded(downloadBase.toUtf8() + path);
}

int ProgramDownload::percent(qint64 last, qint64 total) {
    if (total <= 0)
        return 0;
    // Division first, in double precision: 57 of 100 shows 56.
    return static_cast<int>(
        std::floor(static_cast<double>(last) / static_cast<double>(total) * 100));
}

void ProgramDownload::start() {
    // A name that would lead out of the cache folder gets neither a file nor
    // a request.
    if (!m_safe) {
        QTimer::singleShot(0, this, [this] { emit finished(Result::UnsafeName); });
        return;
    }
    if (!FileOps::createEmpty(m_cachePath)) {
        QTimer::singleShot(0, this, [this] { end(Result::Failed); });
        return;
    }
    m_chunks->start();
}

void ProgramDownload::onFinished(ChunkDownload::Outcome outcome) {
    using Outcome = ChunkDownload::Outcome;
    switch (outcome) {
    case Outcome::Complete: {
        // Written beside the cache file and renamed over it, so that a crash
        // never leaves a partial file that would pass for the program.
        if (!FileOps::writeAtomically(m_cachePath, m_chunks->data())) {
            end(Result::Failed);
            return;
        }
        emit finished(Result::Complete);
        return;
    }
    case Outcome::Refused:
        end(Result::Refused);
        return;
    case Outcome::NotFound:
        end(Result::NotFound);
        return;
    case Outcome::TimedOut:
        end(Result::TimedOut);
        return;
    case Outcome::ServerError:
        end(Result::ServerError);
        return;
    case Outcome::NoRangeSupport:
        end(Result::NoRangeSupport);
        return;
    case Outcome::Unexpected:
        end(Result::Failed);
        return;
    }
}

void ProgramDownload::end(Result result) {
    FileOps::deleteIfExists(m_cachePath);
    emit finished(result);
}
