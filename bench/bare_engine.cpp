// The yardstick for what playing costs: a page in a plain QWebEngineView of
// the player's size, at the screen's top left, nothing else of ours. The
// page's title becomes the window's, so that it can say what it found.
// With --as-ours, the web engine is set up as the player sets it up (its
// drawing path and process switches), and still shows nothing of ours.
// bench_window peers measures both against the player and a browser.
//   bench_bare_engine [--as-ours] URL

#include "app/WebEngineSetup.h"

#include <QApplication>
#include <QUrl>
#include <QWebEngineSettings>
#include <QWebEngineView>

int main(int argc, char* argv[]) {
    const bool asOurs = argc > 2 && QByteArray(argv[1]) == "--as-ours";
    if (asOurs)
        WebEngineSetup::apply();
    QApplication app(argc, argv);
    QWebEngineView view;
    // As a browser's autoplay switch: the engine's sound starts unasked.
    view.settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    QObject::connect(&view, &QWebEngineView::titleChanged, &view, &QWidget::setWindowTitle);
    view.setGeometry(0, 0, 1016, 711);
    view.load(QUrl(QApplication::arguments().value(asOurs ? 2 : 1)));
    view.show();
    return app.exec();
}
