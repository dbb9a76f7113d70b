// The yardstick for start-up: a bare Qt window of the player's size and
// colour, nothing else. bench_window times it against the player.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    QPalette p = window.palette();
    p.setColor(QPalette::Window, QColor(255, 192, 255));
    window.setPalette(p);
    window.setAutoFillBackground(true);
    window.resize(1016, 711);
    window.show();
    return app.exec();
}
