// The information strip on the real engine: which failed loads show the
// offline page, and which are only loads the user has already left.

#include "support/FaultServer.h"
#include "support/FormHarness.h"

#include "shell/PageLoadTracker.h"
#include "shell/WebEngineInfoBrowser.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QWebEngineView>
#include <QtTest>

class TestBrowser : public QObject {
    Q_OBJECT

    struct Strip {
        WebEngineInfoBrowser browser;
        FormHarness h;
        QSignalSpy errors{&browser, &InfoBrowser::navigateError};
        explicit Strip(const QString& webBase) {
            h.webBase = webBase;
            h.infoBrowser = &browser;
        }
        QString shown() { return browser.view()->url().fileName(); }
    };

private slots:
    // Steps: "ask X", "start X", "end", "fail X CODE" (which expects the
    // next value of `counted`).
    void whichFailuresCount_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<bool>>("counted");
        QTest::newRow("refused") << QStringList{"ask a", "start a", "fail a -102"}
                                 << QList<bool>{true};
        QTest::newRow("HTTP error page")
            << QStringList{"ask a", "start a", "fail a 404"} << QList<bool>{true};
        QTest::newRow("redirected, then refused")
            << QStringList{"ask a", "start a", "fail b -102"} << QList<bool>{true};
        QTest::newRow("left for the next page")
            << QStringList{"ask a", "start a", "ask b", "fail a -3", "start b", "end"}
            << QList<bool>{false};
        QTest::newRow("left, and reported late as a real error")
            << QStringList{"ask a", "start a", "ask b", "fail a -105"} << QList<bool>{false};
        QTest::newRow("the same page asked again")
            << QStringList{"ask a", "start a", "ask a", "fail a -3", "start a", "fail a -7"}
            << QList<bool>{false, true};
    }
    void whichFailuresCount() {
        QFETCH(QStringList, steps);
        QFETCH(QList<bool>, counted);
        PageLoadTracker loads;
        QList<bool> results;
        const auto url = [](const QString& name) { return QUrl("http://web.test/" + name); };
        for (const QString& step : steps) {
            const QStringList w = step.split(u' ');
            if (w[0] == "ask")
                loads.requested(url(w[1]));
            else if (w[0] == "start")
                loads.started(url(w[1]));
            else if (w[0] == "end")
                loads.ended();
            else
                results.append(loads.failed(url(w[1]), w[2].toInt()));
        }
        QCOMPARE(results, counted);
    }

    void quickClicksDoNotShowTheOfflinePage() {
        FaultServer server;
        QVERIFY(server.listen());
        server.setFallback([](const FaultServer::Request& request) {
            FaultServer::Response page;
            page.headers = {{"Content-Type", "text/html; charset=utf-8"}};
            page.body = "<html><body>" + request.path + "</body></html>";
            page.delayMs = 600;
            return page;
        });
        Strip s(server.baseUrl());
        Form1* f = s.h.load();
        QTRY_COMPARE_WITH_TIMEOUT(s.shown(), QStringLiteral("show1.htm"), 15000);
        f->Image_Click(2);
        QTest::qWait(150);
        f->Image_Click(3);
        QTest::qWait(50);
        f->Image_Click(4);
        QTRY_COMPARE_WITH_TIMEOUT(s.shown(), QStringLiteral("show4.htm"), 15000);
        QTest::qWait(1500); // time for a late report of the pages left behind
        QCOMPARE(s.shown(), QStringLiteral("show4.htm"));
        QCOMPARE(s.errors.count(), 0);
    }

    void aRefusedConnectionShowsTheOfflinePage() {
        QTcpServer closed; // a port nobody listens on once it is closed
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        Strip s(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        s.h.folder.writeBytes(QStringLiteral("res/showoff.htm"), "<html>offline</html>");
        s.h.load();
        QTRY_COMPARE_WITH_TIMEOUT(s.shown(), QStringLiteral("showoff.htm"), 15000);
        QCOMPARE(s.errors.count(), 1);
    }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
