// The information strip on the real engine: which failed loads show the
// offline page, and which are only loads the user has already left; which
// addresses it shows, and where a link elsewhere goes.

#include "support/FaultServer.h"
#include "support/FormHarness.h"

#include "parents/ParentsSettings.h"
#include "shell/PageLoadTracker.h"
#include "shell/StripAddresses.h"
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
        // A click on the element of the page with that id, once it is there.
        bool click(const QString& id) {
            const auto box = std::make_shared<QRect>();
            const QString script =
                QStringLiteral("(e => e && (r => [r.x, r.y, r.width, r.height])"
                               "(e.getBoundingClientRect()))(document.getElementById('%1'))")
                    .arg(id);
            const auto found = [&] {
                browser.view()->page()->runJavaScript(script, [box](const QVariant& v) {
                    if (const QVariantList r = v.toList(); r.size() == 4)
                        *box = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
                });
                return !box->isNull();
            };
            if (!QTest::qWaitFor(found, 15000))
                return false;
            QTest::mouseClick(browser.view()->focusProxy(), Qt::LeftButton, {}, box->center());
            return true;
        }
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

    void whereAddressesGo_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("mainFrame");
        QTest::addColumn<bool>("byLink");
        QTest::addColumn<StripAddresses::Go>("go");
        using Go = StripAddresses::Go;
        const auto row = [](const char* name, const char* url, bool mainFrame, bool byLink, Go go) {
            QTest::newRow(name) << url << mainFrame << byLink << go;
        };
        row("a site page", "http://web.test/kibu/show2.htm?a=1#b", true, true, Go::Strip);
        row("a site page in a frame", "http://web.test/kibu/f/a.htm", false, false, Go::Strip);
        row("written in capitals", "HTTP://WEB.TEST:80/kibu/a.htm", true, true, Go::Strip);
        row("the offline page", "file:///app/res/showoff.htm", true, false, Go::Strip);
        row("another file", "file:///app/res/other.htm", true, true, Go::Nowhere);
        row("the offline page on a host", "file://app/res/showoff.htm", true, true, Go::Nowhere);
        row("another site", "https://example.com/", true, true, Go::Browser);
        row("the host outside the base", "http://web.test/other/a.htm", true, true, Go::Browser);
        row("a look-alike host", "http://web.test.example.com/kibu/", true, true, Go::Browser);
        row("another port", "http://web.test:8080/kibu/a.htm", true, true, Go::Browser);
        row("climbing out", "http://web.test/kibu/%2e%2e/admin.htm", true, true, Go::Browser);
        row("another site in a frame", "https://example.com/", false, false, Go::Nowhere);
        row("another site by script", "https://example.com/", true, false, Go::Nowhere);
        row("a script", "javascript:alert(1)", true, true, Go::Nowhere);
        row("data", "data:text/html,<b>hi</b>", true, true, Go::Nowhere);
    }
    void whereAddressesGo() {
        QFETCH(QString, url);
        QFETCH(bool, mainFrame);
        QFETCH(bool, byLink);
        QFETCH(StripAddresses::Go, go);
        const StripAddresses addresses("http://web.test/kibu/", "/app/res/showoff.htm");
        QCOMPARE(addresses.route(QUrl(url), mainFrame, byLink), go);
    }

    // Every page has these links, and a frame of the other address. Clicked,
    // and then (while the strip stays) the first link as a mark that the
    // click was dealt with, the strip shows `page`, and the desktop was asked
    // to open `opened` at the other address.
    void linksStayOnTheSite_data() {
        QTest::addColumn<int>("category");
        QTest::addColumn<QString>("click");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("to the site") << 1 << "site" << false << "show2.htm" << QStringList();
        QTest::newRow("elsewhere") << 1 << "away" << false << "show1.htm" << QStringList{"a.htm"};
        QTest::newRow("elsewhere, locked") << 1 << "away" << true << "show1.htm" << QStringList();
        QTest::newRow("a new window elsewhere")
            << 1 << "blank" << false << "show1.htm" << QStringList{"b.htm"};
        QTest::newRow("window.open elsewhere")
            << 1 << "open" << false << "show1.htm" << QStringList{"o.htm"};
        QTest::newRow("a new window on the site")
            << 1 << "window" << false << "show3.htm" << QStringList();
        QTest::newRow("sent elsewhere by script, no click")
            << 4 << "" << false << "show5.htm" << QStringList();
    }
    void linksStayOnTheSite() {
        QFETCH(int, category);
        QFETCH(QString, click);
        QFETCH(bool, locked);
        QFETCH(QString, page);
        QFETCH(QStringList, opened);
        FaultServer site, elsewhere;
        QVERIFY(site.listen() && elsewhere.listen());
        const QString away = elsewhere.baseUrl();
        site.setFallback([away](const FaultServer::Request& request) {
            FaultServer::Response response;
            response.headers = {{"Content-Type", "text/html"}};
            response.body = QStringLiteral(
                                R"html(<body style="margin:0"><a id=site href="show2.htm">s</a>
                <a id=away href="%1a.htm">a</a> <a id=blank target=_blank href="%1b.htm">b</a>
                <button id=open onclick="window.open('%1o.htm')">o</button>
                <a id=window target=_blank href="show3.htm">w</a>
                <iframe src="%1f.htm" width=20 height=10></iframe>)html")
                                .arg(away)
                                .toUtf8();
            if (request.path == "/show4.htm")
                response.body +=
                    QStringLiteral("<script>document.getElementById('away').click();"
                                   " location.href = '%1s.htm';"
                                   " setTimeout(() => location.href = 'show5.htm', 100)"
                                   "</script>")
                        .arg(away)
                        .toUtf8();
            return response;
        });
        Strip s(site.baseUrl());
        ParentsSettings lock;
        lock.childLock = locked;
        QVERIFY(lock.write(s.h.folder.path(ParentsSettings::kFile)));
        Form1* f = s.h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->Image_Click(category);
        QTRY_COMPARE_WITH_TIMEOUT(s.shown(), QStringLiteral("show%1.htm").arg(category), 15000);
        if (!click.isEmpty())
            QVERIFY(s.click(click));
        if (page == s.shown()) {
            QVERIFY(s.click("site"));
            page = "show2.htm";
        }
        QTRY_COMPARE_WITH_TIMEOUT(s.shown(), page, 15000);
        for (QString& name : opened)
            name.prepend(away);
        QCOMPARE(s.h.opener.urls, opened);
        QCOMPARE(elsewhere.requests().size(), 0);
        QCOMPARE(s.errors.count(), 0);
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
