#include "app/AppOptions.h"
#include "app/EndSignal.h"
#include "app/Installation.h"
#include "app/SingleInstance.h"
#include "app/WebEngineSetup.h"
#include "flash/RuffleFlashPlayer.h"
#include "net/NetworkSetup.h"
#include "net/SelfUpdate.h"
#include "shell/DesktopServices.h"
#include "shell/Form1.h"
#include "shell/SoundEffectVoicePlayer.h"
#include "shell/StartupChecks.h"
#include "shell/WebEngineInfoBrowser.h"
#include "shell/WindowFront.h"
#include "ui/MessageBoxNotifier.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QStandardPaths>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("kibu-player"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIBU_VERSION));

    // The options are read before any window system is touched, so that
    // --help, --version and a refused option work without a display.
    AppOptions::Parsed options;
    QString exeDir;
    {
        QCoreApplication probe(argc, argv);
        exeDir = QCoreApplication::applicationDirPath();
        options = AppOptions::parse(
            QCoreApplication::arguments(),
            {exeDir, QStringLiteral(KIBU_DOWNLOAD_BASE_URL), QStringLiteral(KIBU_WEB_BASE_URL),
             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)});
    }
    if (options.action == AppOptions::Parsed::Action::ShowText) {
        std::fputs(qPrintable(options.text), stdout);
        return 0;
    }
    if (options.action == AppOptions::Parsed::Action::Fail) {
        std::fprintf(stderr, "kibu-player: %s\n", qPrintable(options.text));
        return 2;
    }

    WebEngineSetup::apply();
    QApplication app(argc, argv);
    // No application display name: Qt would append it to every window title
    // that does not already end with it ("Kibu播放器1.3 — Kibu播放器", "提示 —
    // Kibu播放器"), and each window's title is given exactly.

    // One player per application folder: a second start brings the first
    // one's window to the front and ends, before anything heavy is made.
    if (options.installed)
        QDir().mkpath(options.settings.app.root());
    SingleInstance instance(options.settings.app.root());
    switch (instance.claim()) {
    case SingleInstance::Role::First:
        break;
    case SingleInstance::Role::Raised:
        return 0;
    case SingleInstance::Role::Unanswered: {
        const QString text =
            QStringLiteral("Kibu播放器已经打开了，可是没有回应。\n请先关掉它，再打开。");
        std::fprintf(stderr, "kibu-player: %s\n", qPrintable(text));
        QMessageBox box(QMessageBox::Warning, MessageBoxNotifier::kAppTitle, text);
        box.exec();
        return 1;
    }
    }

    // Installed: the user's own folder, made from the defaults the first
    // time; the shortcut starts the installed launcher.
    if (options.installed) {
        QString error;
        if (!Installation::provision(Installation::defaultsDir(exeDir), options.settings.app.root(),
                                     &error)) {
            std::fprintf(stderr, "kibu-player: %s\n", qPrintable(error));
            QMessageBox box(QMessageBox::Critical, MessageBoxNotifier::kAppTitle, error);
            box.exec();
            return 1;
        }
        const QString launcher =
            QDir(exeDir).absoluteFilePath(QStringLiteral("../../bin/kibu-player"));
        if (QFileInfo(launcher).isExecutable())
            options.settings.shortcutTarget = launcher;
    }

    // Without its server-address file or its first list the program cannot
    // show anything sensible; say which file is missing before any window.
    if (const auto missing = StartupChecks::missingRequiredFile(options.settings.app)) {
        const QString text = QStringLiteral("缺少必需的文件：%1\n请重新安装Kibu播放器。")
                                 .arg(options.settings.app.path(*missing));
        std::fprintf(stderr, "kibu-player: %s\n", qPrintable(text));
        QMessageBox box(QMessageBox::Critical, MessageBoxNotifier::kAppTitle, text);
        box.exec();
        return 1;
    }

    // The web engine starts once the window is on the screen: making it
    // takes longer than the whole window.
    // The engine belongs to the program, beside the executable when installed.
    const QString engine = options.installed
                               ? QDir(exeDir).filePath(QStringLiteral("res/ruffle"))
                               : options.settings.app.path(QStringLiteral("res/ruffle"));
    RuffleFlashPlayer player(engine, RuffleFlashPlayer::Start::Later);
    player.expectProgramsFrom(options.settings.app.cacheFolder());
    player.setFullResolution(options.fullResolution);
    WebEngineInfoBrowser browser(WebEngineInfoBrowser::Start::Later);
    SoundEffectVoicePlayer voice;
    MessageBoxNotifier notifier;
    DesktopUrlOpener urlOpener;
    Form1Services services;
    services.player = &player;
    services.browser = &browser;
    services.voice = &voice;
    services.notifier = &notifier;
    services.urlOpener = &urlOpener;
    services.today = [] { return QDate::currentDate(); };
    services.endProcess = [] { QCoreApplication::quit(); };
    const auto network = NetworkSetup::makeAccessManager();
    services.network = network.get();
    // Once a new version's updater runs, this program ends at once: no
    // window closing, no date written.
    ProcessUpdaterLauncher launcher;
    Form1* window = nullptr;
    SelfUpdate selfUpdate(network.get(), options.settings.app, options.settings.downloadBase,
                          launcher, [&window] {
                              if (window)
                                  window->saveState();
                              std::fflush(nullptr);
                              std::_Exit(0);
                          });
    if (options.installed)
        selfUpdate.setPackaged([&notifier](const QString&) {
            notifier.message(QStringLiteral("Kibu播放器有新版本了。请用系统的软件更新来安装它。"));
        });
    services.checkForUpdate = [&selfUpdate] { selfUpdate.CheckForUpdate(); };
    services.desktopFolder = [] {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    };

    Form1 form(options.settings, services);
    window = &form;
    // Ends that close no window: the desktop session saving or ending, a
    // SIGTERM at shut-down.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.saveState(); });
    EndSignal endSignal;
    QObject::connect(&endSignal, &EndSignal::received, &form, [&form] {
        form.saveState();
        // All is saved: should the web engine's teardown hang, the process
        // still ends, as the signal asked.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            std::fflush(nullptr);
            std::_Exit(0);
        }).detach();
        QCoreApplication::quit();
    });
    notifier.setParent(&form);
    QObject::connect(&form, &Form1::shownOnScreen, &form, [&player, &browser] {
        player.start();
        browser.start();
    });
    QObject::connect(&instance, &SingleInstance::raiseRequested, &form,
                     [&form] { WindowFront::bring(&form); });
    form.Form_Load();
    form.show();
    return app.exec();
}
