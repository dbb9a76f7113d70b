#include "SelfUpdate.h"

#include "FileDownload.h"
#include "UpdateOffer.h"
#include "base/FileOps.h"
#include "catalogue/TextFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <optional>

namespace {

const QString kInstalled = QStringLiteral("cons/update.inb");
const QString kOffered = QStringLiteral("cons/update2.inb");
const QString kVersionTemp = QStringLiteral("cons/updatetemp.inb");
const QString kUpdater = QStringLiteral("cons/kibugx.exe");
const QString kUpdaterTemp = QStringLiteral("cons/kibugxtemp.exe");

// The text of a file, or nothing when it cannot be read.
std::optional<QString> readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return TextFile::decode(f.readAll());
}

} // namespace

bool ProcessUpdaterLauncher::start(const QString& program) {
    return FileOps::makeExecutable(program) && QProcess::startDetached(program, {});
}

SelfUpdate::SelfUpdate(QNetworkAccessManager* network, AppFolder app, QString downloadBase,
                       UpdaterLauncher& launcher, std::function<void()> exitNow, QObject* parent)
    : QObject(parent), m_network(network), m_app(std::move(app)), m_base(std::move(downloadBase)),
      m_launcher(launcher), m_exitNow(std::move(exitNow)) {}

bool SelfUpdate::mayStart(const QString& downloadBase, const QString& digest,
                          const QByteArray& updater) {
    if (!digest.isEmpty())
        return QCryptographicHash::hash(updater, QCryptographicHash::Sha256).toHex() ==
               digest.toLatin1();
    // Without a digest only a verified HTTPS server is trusted; Qt refuses
    // bad certificates and never follows a redirect from HTTPS to HTTP.
    return downloadBase.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

void SelfUpdate::CheckForUpdate() {
    if (m_started)
        return;
    m_started = true;
    if (!FileOps::deleteIfExists(m_app.path(kUpdater))) {
        stop();
        return;
    }
    fetch(QStringLiteral("cons/update.txt"), kVersionTemp, kOffered, &SelfUpdate::onVersionFetched);
}

void SelfUpdate::fetch(const QString& remote, const QString& temp, const QString& local,
                       void (SelfUpdate::*then)()) {
    auto* download = new FileDownload(m_network, QUrl(m_base + remote), m_app.path(temp),
                                      m_app.path(local), this);
    download->setRequestLimit(m_limitMs);
    connect(download, &FileDownload::finished, this, [this, download, then] {
        download->deleteLater();
        (this->*then)();
    });
    download->start();
}

void SelfUpdate::onVersionFetched() {
    // A copy left by an earlier check whose updater did not arrive counts too.
    if (!QFileInfo(m_app.path(kOffered)).isFile()) {
        stop();
        return;
    }
    // An offered file of nothing but blanks is as good as none: comparing
    // its empty mark would pass for a new version and install an empty one.
    const auto offeredText = readText(m_app.path(kOffered));
    const auto offered = offeredText ? TextFile::firstFieldIfAny(*offeredText) : std::nullopt;
    const auto installed = TextFile::readFirstField(m_app.path(kInstalled));
    if (!offered || !installed) {
        stop();
        return;
    }
    if (*offered == *installed) {
        FileOps::deleteIfExists(m_app.path(kOffered));
        stop();
        return;
    }
    if (m_tellPackaged) {
        // Said once per offered version, whatever number of runs follow.
        const QString seen = m_app.path(QStringLiteral("cons/update-seen.inb"));
        if (TextFile::readFirstField(seen) != *offered &&
            FileOps::writeAtomically(seen, offered->toUtf8()))
            m_tellPackaged(*offered);
        FileOps::deleteIfExists(m_app.path(kOffered));
        stop();
        return;
    }
    m_digest = UpdateOffer::digest(*offeredText);
    fetch(QStringLiteral("cons/kibugx.exe"), kUpdaterTemp, kUpdater, &SelfUpdate::onUpdaterFetched);
}

void SelfUpdate::onUpdaterFetched() {
    const QString updater = m_app.path(kUpdater);
    if (!QFileInfo(updater).isFile()) {
        stop();
        return;
    }
    QFile file(updater);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (bytes.isEmpty() || !mayStart(m_base, m_digest, bytes)) {
        // Not known to be the server's: it never runs, and the installed
        // mark stays, so that a proper updater is fetched next time.
        FileOps::deleteIfExists(updater);
        stop();
        return;
    }
    // The offered mark becomes the installed one before the updater runs;
    // should the updater not start after all, the old mark comes back, or
    // this version would pass for the new one from now on.
    const QString installed = m_app.path(kInstalled);
    QFile installedFile(installed);
    const QByteArray installedBytes =
        installedFile.open(QIODevice::ReadOnly) ? installedFile.readAll() : QByteArray();
    installedFile.close();
    if (!FileOps::replaceFile(m_app.path(kOffered), installed)) {
        stop();
        return;
    }
    if (!m_launcher.start(updater)) {
        FileOps::writeAtomically(installed, installedBytes);
        stop();
        return;
    }
    m_exitNow();
}

void SelfUpdate::stop() {
    emit finished();
}
