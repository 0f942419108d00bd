#pragma once

// Shared by the benchmarks: a full-size demo image in a scratch folder, the
// real window's controls by name, and the median of a run of timings.
#include "DemoImage.h"
#include "Form1.h"
#include "OpenFileDialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace Bench {

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

// Milliseconds; the median of an even count is the mean of the middle two.
inline Spread spread(std::vector<double> ms)
{
    Spread s;
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    s.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    s.min = ms.front();
    s.max = ms.back();
    return s;
}

inline double elapsedMs(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

[[noreturn]] inline void die(const QString &why)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << why << "\n";
    std::exit(2);
}

// "--name value" from the command line, or the fallback.
inline QString option(const char *name, const QString &fallback)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QString::fromLatin1(name));
    if (at < 0)
        return fallback;
    if (at + 1 >= args.size())
        die(QStringLiteral("%1 needs a value").arg(QString::fromLatin1(name)));
    return args.at(at + 1);
}

inline int count(const char *name, int fallback)
{
    bool ok = false;
    const int n = option(name, QString::number(fallback)).toInt(&ok);
    if (!ok || n < 1)
        die(QStringLiteral("%1 wants a positive whole number").arg(QString::fromLatin1(name)));
    return n;
}

// A scratch folder under --dir (the system's temporary folder by default)
// holding a full-size demo image.
struct ScratchImage {
    QTemporaryDir dir;
    QString path;

    ScratchImage()
        : dir(QDir(option("--dir", QDir::tempPath())).filePath(QStringLiteral("orvane-bench-XXXXXX")))
    {
        if (!dir.isValid())
            die(QStringLiteral("cannot make a scratch folder: %1").arg(dir.errorString()));
        path = dir.filePath(QStringLiteral("bench.smc"));
        QString reason;
        if (!DemoImage::write(path, &reason))
            die(QStringLiteral("cannot write %1: %2").arg(path, reason));
    }
};

template <typename T>
T *child(const QWidget &form, const char *name)
{
    T *widget = form.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        die(QStringLiteral("the window has no %1").arg(QString::fromLatin1(name)));
    return widget;
}

// Lets queued paints and timers run so one measurement does not pay for the last.
inline void settle(int ms = 50)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// One result line: a key for bench/run, a tab, then the figure in words.
inline void report(const QString &key, const QString &figure)
{
    QTextStream(stdout) << key << '\t' << figure << Qt::endl;
}

inline QString describe(const Spread &s, int runs, const char *what)
{
    return QStringLiteral("%1 ms median (min %2, max %3; %4 %5)")
        .arg(s.median, 0, 'f', 2)
        .arg(s.min, 0, 'f', 2)
        .arg(s.max, 0, 'f', 2)
        .arg(runs)
        .arg(QString::fromLatin1(what));
}

} // namespace Bench
