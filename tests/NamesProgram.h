#pragma once

#include "DemoImage.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// orvane-names (ORVANE_NAMES_EXE) run as a user runs it, for the tests of the
// command: exit code and both outputs.
struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

inline Run start(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

inline Run run(const QStringList &args, const QByteArray &input = {})
{
    return start(QStringLiteral(ORVANE_NAMES_EXE), args, input);
}

// The program started by a shell script ($0 is the program, $1... the
// arguments), for what QProcess cannot set up: closed descriptors, names
// that are not text, /dev/full.
inline Run shell(const QString &script, const QStringList &args = {})
{
    return start(QStringLiteral("/bin/sh"),
                 QStringList{QStringLiteral("-c"), script, QStringLiteral(ORVANE_NAMES_EXE)} + args, {});
}

// A scratch folder, the demo image's contents, and image, the path of a copy
// of it that init() makes fresh for each test function.
class ScratchImages {
protected:
    QTemporaryDir dir;
    DemoImage::Contents demo = DemoImage::build();
    QString image;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!writeAll(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
};
