#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What orvane-names was asked to do, its exit statuses and its messages.
namespace CommandLine {

// Scripts rely on these.
enum Exit {
    Done = 0,
    Usage = 1,
    Refused = 2,   // refused, and nothing was written
    Mismatch = 3,  // a check found a mismatch
    PartWay = 4,   // stopped part-way; what went in is synced and named
};

// The words of the command line exactly as given: a path stays the bytes it
// was, whatever they are.
struct Arguments {
    QByteArray command;
    QList<QByteArray> options;   // "--json" and the like, in the order given
    QList<QByteArray> operands;  // after the command, options taken out
    bool has(const char *option) const;
};

// Splits argv; "--" ends the options. Returns an empty string or the usage
// problem. A lone "-" is an operand.
QString split(int argc, char **argv, Arguments &arguments);

// A command's operands and options, for checking a command line.
struct Command {
    const char *name;
    int operands;
    QList<const char *> options;
};

// The usage problem of the arguments against the known commands, or "".
QString usageProblem(const Arguments &arguments, const QList<Command> &commands);

// A word given as text (a category, an index, a name); nullopt-like empty
// result with ok false when its bytes are not UTF-8.
QString text(const QByteArray &word, bool *ok);

// A path as messages show it: its text where the bytes are UTF-8, each other
// byte as \xHH, and control characters and the backslash escaped too, so the
// name in a message is always the file that was opened.
QString shown(const QByteArray &path);

// The system's sentence for an errno value.
QString systemReason(int error);

// "orvane-names: " and the message, on standard error.
void report(const QString &message);

} // namespace CommandLine
