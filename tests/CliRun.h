#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// orvane-names run as a separate process, as scripts run it.
struct Run {
    int code = -1;  // the exit status, or -1 when it did not exit by itself
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
