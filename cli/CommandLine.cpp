#include "CommandLine.h"

#include <QStringDecoder>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace CommandLine {

bool Arguments::has(const char *option) const
{
    return options.contains(QByteArray(option));
}

QString split(int argc, char **argv, Arguments &arguments)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && word.startsWith('-') && word.size() > 1) {
            if (word == "-h")
                arguments.options.append("--help");
            else if (word == "-v")
                arguments.options.append("--version");
            else if (word.startsWith("--") && !word.contains('='))
                arguments.options.append(word);
            else
                return QStringLiteral("unknown option \"%1\".").arg(shown(word));
        } else if (arguments.command.isNull()) {
            arguments.command = word;
        } else {
            arguments.operands.append(word);
        }
    }
    return {};
}

QString usageProblem(const Arguments &arguments, const QList<Command> &commands)
{
    if (arguments.command.isNull())
        return QStringLiteral("no command given.");
    const Command *command = nullptr;
    for (const Command &known : commands)
        if (arguments.command == known.name)
            command = &known;
    if (!command)
        return QStringLiteral("unknown command \"%1\".").arg(shown(arguments.command));
    const QString name = QString::fromLatin1(command->name);
    for (const QByteArray &option : arguments.options) {
        bool known = false;
        for (const char *allowed : command->options)
            known = known || option == allowed;
        if (!known) {
            bool elsewhere = false;
            for (const Command &other : commands)
                for (const char *allowed : other.options)
                    elsewhere = elsewhere || option == allowed;
            return elsewhere ? QStringLiteral("%1 does not go with %2.").arg(shown(option), name)
                             : QStringLiteral("unknown option \"%1\".").arg(shown(option));
        }
    }
    if (arguments.operands.size() != command->operands)
        return QStringLiteral("%1 takes %2 argument(s), not %3.")
            .arg(name, QString::number(command->operands), QString::number(arguments.operands.size()));
    return {};
}

QString text(const QByteArray &word, bool *ok)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(word);
    *ok = !utf8.hasError();
    return decoded;
}

namespace {

// The length of the well-formed UTF-8 sequence at bytes[at], or 0.
int sequenceLength(const QByteArray &bytes, qsizetype at)
{
    const auto byte = [&](qsizetype k) { return k < bytes.size() ? uchar(bytes.at(k)) : 0u; };
    const uint lead = byte(at);
    int length;
    uint low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        const uint next = byte(at + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

QString shown(const QByteArray &path)
{
    QString result;
    for (qsizetype at = 0; at < path.size();) {
        const uchar c = uchar(path.at(at));
        if (c >= 0x80) {
            const int length = sequenceLength(path, at);
            if (length > 0) {
                result += QString::fromUtf8(path.mid(at, length));
                at += length;
                continue;
            }
        }
        if (c < 0x20 || c == 0x7F || c >= 0x80 || c == '\\')
            result += c == '\\' ? QStringLiteral("\\\\")
                                : QStringLiteral("\\x%1").arg(uint(c), 2, 16, QChar(u'0'));
        else
            result += QChar(char16_t(c));
        ++at;
    }
    return result;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void report(const QString &message)
{
    static QTextStream stream(stderr);
    stream << "orvane-names: " << message << '\n';
    stream.flush();
}

} // namespace CommandLine
