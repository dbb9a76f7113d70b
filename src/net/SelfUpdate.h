#pragma once

#include "catalogue/AppFolder.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QNetworkAccessManager;

// Starts the program that replaces this one, detached, with no arguments.
class UpdaterLauncher {
public:
    virtual ~UpdaterLauncher() = default;
    virtual bool start(const QString& program) = 0;
};

// The real launcher: marks the file executable, then starts it.
class ProcessUpdaterLauncher : public UpdaterLauncher {
public:
    bool start(const QString& program) override;
};

// Once a run, asks the download server for its version mark; when it differs
// from the installed one, fetches the updater, records the offered mark as
// installed, starts the updater and ends the program at once. Silent.
//
// A program fetched over the network runs only when it is known to be the
// server's: fetched over HTTPS (whose certificate Qt verifies), or matching
// the SHA-256 digest that the version file names in its second field.
class SelfUpdate : public QObject {
    Q_OBJECT
public:
    SelfUpdate(QNetworkAccessManager* network, AppFolder app, QString downloadBase,
               UpdaterLauncher& launcher, std::function<void()> exitNow, QObject* parent = nullptr);

    void setRequestLimit(int ms) { m_limitMs = ms; }
    // CheckForUpdate; a second call in the same run does nothing.
    // Installed from a package: the package manager updates the program, so
    // no updater is ever fetched or started; a newer version is told once.
    void setPackaged(std::function<void(const QString& offeredMark)> tell) {
        m_tellPackaged = std::move(tell);
    }

    void CheckForUpdate();

    // Whether a fetched updater may run.
    static bool mayStart(const QString& downloadBase, const QString& digest,
                         const QByteArray& updater);

signals:
    // The check ended without starting an update.
    void finished();

private:
    // DownloadFile below the download base, then the next step.
    void fetch(const QString& remote, const QString& temp, const QString& local,
               void (SelfUpdate::*then)());
    void onVersionFetched();
    void onUpdaterFetched();
    void stop();

    QNetworkAccessManager* m_network;
    AppFolder m_app;
    QString m_base;
    UpdaterLauncher& m_launcher;
    std::function<void()> m_exitNow;
    std::function<void(const QString&)> m_tellPackaged;
    int m_limitMs = 24000;
    bool m_started = false;
    QString m_digest;
};
