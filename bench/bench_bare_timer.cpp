// The reference for bench_idle: a bare window with one 1 ms timer whose tick
// does nothing, so what it costs is the waking alone.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare 1 ms timer");
    window.resize(402, 309);
    window.show();
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start();
    return app.exec();
}
