#pragma once

#include "support/Fakes.h"
#include "support/TempAppFolder.h"

#include "net/NetworkSetup.h"
#include "shell/Form1.h"

#include <QDate>
#include <QListWidget>
#include <QTimer>
#include <functional>
#include <memory>

// A main window on a throw-away application folder, with every outside
// part replaced by a recording stand-in. The window's own timer is stopped,
// so that tests run the ticks themselves.
struct FormHarness {
    static inline const QString kWeb = QStringLiteral("http://web.test/");
    // Nothing listens there: a download fails at once.
    static inline const QString kDownload = QStringLiteral("http://127.0.0.1:9/");
    static inline const QDate kToday = QDate(2026, 12, 7);

    explicit FormHarness(const QString& subfolder = QStringLiteral("app")) : folder(subfolder) {}

    TempAppFolder folder;
    FakeFlashPlayer player;
    FakeInfoBrowser browser;
    FakeVoicePlayer voice;
    FakeNotifier notifier;
    FakeUrlOpener opener;
    int ended = 0;
    int updateChecks = 0;
    QString downloadBase = kDownload;
    QString webBase = kWeb;
    // The information strip; tests of the real one replace the stand-in.
    InfoBrowser* infoBrowser = &browser;
    // Downloads go nowhere unless a test points them at its own server.
    std::unique_ptr<QNetworkAccessManager> ownNetwork = NetworkSetup::makeAccessManager();
    QNetworkAccessManager* network = ownNetwork.get();
    int requestLimitMs = 24000;
    std::function<QString()> desktopFolder;
    // The parents' question: answered by the test.
    std::function<bool(QWidget*)> passGate;
    qint64 minuteMs = 60000;
    std::unique_ptr<Form1> form;

    Form1* make(bool manualTicks = true) {
        Form1Services s;
        s.player = &player;
        s.browser = infoBrowser;
        s.voice = &voice;
        s.notifier = &notifier;
        s.urlOpener = &opener;
        s.today = [] { return kToday; };
        s.endProcess = [this] { ++ended; };
        s.checkForUpdate = [this] { ++updateChecks; };
        s.network = network;
        s.requestLimitMs = requestLimitMs;
        s.desktopFolder = desktopFolder;
        s.passGate = passGate;
        AppSettings settings;
        settings.app = folder.app();
        settings.downloadBase = downloadBase;
        settings.webBase = webBase;
        settings.minuteMs = minuteMs;
        form = std::make_unique<Form1>(settings, s);
        if (manualTicks)
            form->Timer1->stop();
        return form.get();
    }
    Form1* load() {
        make()->Form_Load();
        return form.get();
    }
};

inline QStringList rowTexts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}
