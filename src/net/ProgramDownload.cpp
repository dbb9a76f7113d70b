#include "ProgramDownload.h"

#include "PartialFiles.h"
#include "base/FileOps.h"
#include "base/Placeholder.h"
#include "catalogue/ProgramName.h"

#include <QFileInfo>
#include <QStorageInfo>
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
    m_chunks = new ChunkDownload(network, m_url, PartialFiles::dataPath(m_cachePath), this);
    connect(m_chunks, &ChunkDownload::starting, this, &ProgramDownload::starting);
    connect(m_chunks, &ChunkDownload::contentRangeMissing, this,
            &ProgramDownload::contentRangeMissing);
    // Once the server has said what file it sends, a part that breaks off
    // can be gone on from.
    connect(m_chunks, &ChunkDownload::identified, this,
            [this](const RemoteFile& file) { PartialFiles::record(m_cachePath, file); });
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
        QTimer::singleShot(0, this, [this] { emitFinished(Result::UnsafeName); });
        return;
    }
    QString error;
    if (!Placeholder::make(m_cachePath, &error)) {
        QTimer::singleShot(0, this, [this, error] { cannotSave(error); });
        return;
    }
    const Resume resume = PartialFiles::resumePoint(m_cachePath, ChunkDownload::kChunkSize);
    if (resume.complete) {
        // Everything arrived last time; only the rename was missing.
        emit starting();
        QTimer::singleShot(0, this, [this] { onFinished(ChunkDownload::Outcome::Complete); });
        return;
    }
    m_chunks->start(resume);
}

void ProgramDownload::cancel() {
    m_chunks->cancel();
}

void ProgramDownload::onFinished(ChunkDownload::Outcome outcome) {
    if (m_ended)
        return;
    using Outcome = ChunkDownload::Outcome;
    if (outcome == Outcome::CannotWrite) {
        cannotSave(m_chunks->writeError());
        return;
    }
    if (outcome != Outcome::Complete) {
        // What broke off on the way is worth going on with next time; a file
        // that is gone or cannot be pieced together is not.
        struct Ending {
            Outcome outcome;
            Result result;
            bool keepPart;
        };
        static constexpr Ending kEndings[] = {
            {Outcome::Refused, Result::Refused, true},
            {Outcome::TimedOut, Result::TimedOut, true},
            {Outcome::ServerError, Result::ServerError, true},
            {Outcome::Interrupted, Result::Failed, true},
            {Outcome::Untrusted, Result::Untrusted, true},
            {Outcome::Cancelled, Result::Cancelled, true},
            {Outcome::NotFound, Result::NotFound, false},
            {Outcome::NoRangeSupport, Result::NoRangeSupport, false},
            {Outcome::Unexpected, Result::Failed, false},
        };
        for (const Ending& e : kEndings)
            if (e.outcome == outcome)
                end(e.result, e.keepPart);
        return;
    }
    // The complete part takes the program's name in one step, so that no
    // moment shows a partial file under it.
    if (!FileOps::replaceFile(PartialFiles::dataPath(m_cachePath), m_cachePath)) {
        cannotSave(QString());
        return;
    }
    FileOps::deleteIfExists(PartialFiles::sizePath(m_cachePath));
    emitFinished(Result::Complete);
}

void ProgramDownload::cannotSave(const QString& reason) {
    if (m_ended)
        return;
    // Whether the disk is full is seen before the part gives its room back.
    const QStorageInfo disk(QFileInfo(m_cachePath).absolutePath());
    constexpr qint64 kNearlyFull = 1024 * 1024;
    const bool full = disk.isValid() && disk.bytesAvailable() < kNearlyFull;
    // Whatever was written goes: a full disk needs the room back.
    PartialFiles::remove(m_cachePath);
    if (full)
        m_saveProblem = QStringLiteral("电脑的磁盘已经满了，节目“%1”没有保存下来。"
                                       "请删除一些不用的文件后再下载。")
                            .arg(m_name);
    else
        m_saveProblem = QStringLiteral("节目“%1”无法保存到电脑上，请检查节目文件夹能否写入。%2")
                            .arg(m_name, reason.isEmpty() ? QString() : u'（' + reason + u'）');
    end(Result::CannotSave, true);
}

void ProgramDownload::end(Result result, bool keepPart) {
    // A part without a byte (the connection failed or was refused before
    // the first answer) is nothing to go on from.
    if (!keepPart || QFileInfo(PartialFiles::dataPath(m_cachePath)).size() == 0)
        PartialFiles::remove(m_cachePath);
    Placeholder::drop(m_cachePath);
    emitFinished(result);
}

void ProgramDownload::emitFinished(Result result) {
    // Once, whatever ends it first: a cancel may come before the start has
    // run its course.
    if (m_ended)
        return;
    m_ended = true;
    emit finished(result);
}
