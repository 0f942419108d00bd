// orvane-names: the names of an image as text, for scripts.
#include "NameList.h"
#include "NameStore.h"
#include "ProgramVersion.h"
#include "RomError.h"
#include "RomFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int Usage = 1;
constexpr int Refused = 2;

const char help[] =
    "Usage: orvane-names dump [--json] IMAGE\n"
    "       orvane-names set [--allow-blanks] IMAGE CATEGORY INDEX NAME\n"
    "       orvane-names apply [--allow-blanks] IMAGE FILE\n"
    "\n"
    "Lists and writes the names in a headered cartridge image, in place. There is\n"
    "no undo and no backup: keep your own copy of the image.\n"
    "\n"
    "  dump   prints one line per entry, tab-separated: category, index, leading\n"
    "         byte in hex (- where there is none), name, the field's bytes in hex.\n"
    "  set    writes one name. CATEGORY is characters, monsters, magic or items;\n"
    "         INDEX counts from 0. Put -- before a NAME that starts with -.\n"
    "  apply  reads a dump from FILE (- for standard input) and writes the names\n"
    "         that differ from the image; if any line is bad, it writes nothing.\n"
    "\n"
    "  --json           dump as a JSON array\n"
    "  --allow-blanks   store characters that have no code as blanks\n"
    "  -h, --help       show this text\n"
    "  -v, --version    show the version\n"
    "\n"
    "Exit status: 0 done, 1 usage error, 2 refused input or an unusable file.\n";

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString &message)
{
    err() << "orvane-names: " << message << "\nTry 'orvane-names --help'.\n";
    return Usage;
}

int refused(const QString &where, const QString &reason)
{
    err() << "orvane-names: " << where << ": " << reason << "\n";
    return Refused;
}

// Written through QFile so a full disk or closed pipe shows up as a failure.
int writeOut(const QByteArray &bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return refused(QStringLiteral("standard output"), out.errorString());
    return 0;
}

int dumpCommand(const QString &image, bool json)
{
    // Reading only, so a write-protected original can be listed.
    RomFile rom;
    if (!rom.open(image, RomFile::Access::ReadOnly))
        return refused(image, rom.errorString());
    const std::vector<NameList::Row> rows = NameList::dump(rom);
    if (json)
        return writeOut(NameList::toJson(rows));
    QString text;
    for (const NameList::Row &row : rows)
        text += NameList::formatLine(row) + u'\n';
    return writeOut(text.toUtf8());
}

int setCommand(const QString &image, const QString &category, const QString &indexText,
               const QString &name, bool allowBlanks)
{
    const NameTables::NameTable *table = NameList::tableNamed(category);
    if (!table)
        return refused(category, QStringLiteral("unknown category; it must be characters, "
                                                "monsters, magic or items."));
    const int index = NameList::parseIndex(*table, indexText);
    if (index < 0)
        return refused(category + u' ' + indexText,
                       QStringLiteral("not an index of %1 (0 to %2).")
                           .arg(category, QString::number(table->entries - 1)));
    RomFile rom;
    if (!rom.open(image))
        return refused(image, rom.errorString());
    const QString where = image + QStringLiteral(": ") + NameList::entryLabel(*table, index);
    const QString reason = NameList::refusal(rom, *table, index, name, allowBlanks);
    if (!reason.isEmpty())
        return refused(where, reason + QStringLiteral(" Nothing was written."));
    try {
        storeName(rom, *table, index, name);
        rom.sync();
    } catch (const RomError &e) {
        return refused(where, e.message());
    }
    return 0;
}

int applyCommand(const QString &image, const QString &listPath, bool allowBlanks)
{
    const bool fromStdin = listPath == u"-";
    const QString listName = fromStdin ? QStringLiteral("standard input") : listPath;
    QFile list(listPath);
    const bool opened = fromStdin ? list.open(stdin, QIODevice::ReadOnly)
                                  : list.open(QIODevice::ReadOnly);
    if (!opened)
        return refused(listName, list.errorString());
    const QByteArray bytes = list.readAll();
    if (list.error() != QFileDevice::NoError)
        return refused(listName, list.errorString());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return refused(listName, QStringLiteral("not UTF-8 text; nothing was written."));

    RomFile rom;
    if (!rom.open(image))
        return refused(image, rom.errorString());
    const NameList::Plan plan = NameList::check(rom, text, allowBlanks);
    if (!plan.problems.empty()) {
        for (const NameList::Problem &problem : plan.problems)
            err() << "orvane-names: " << listName << ':' << problem.line << ": " << problem.reason << '\n';
        return refused(image, QStringLiteral("nothing was written (%1 bad line(s)).")
                                  .arg(plan.problems.size()));
    }
    NameList::apply(rom, plan);
    return writeOut(QStringLiteral("%1: %2 name(s) changed.\n")
                        .arg(image, QString::number(plan.changes.size()))
                        .toUtf8());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption allowBlanks(QStringLiteral("allow-blanks"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({json, allowBlanks, helpOption, versionOption});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        writeOut(help);
        return 0;
    }
    if (parser.isSet(versionOption))
        return writeOut("orvane-names " + versionText().toUtf8() + '\n');

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given."));
    const QString &command = args.first();
    const bool dump = command == u"dump", set = command == u"set", apply = command == u"apply";
    if (!dump && !set && !apply)
        return usageError(QStringLiteral("unknown command \"%1\".").arg(command));
    if (parser.isSet(json) && !dump)
        return usageError(QStringLiteral("--json goes with dump only."));
    if (parser.isSet(allowBlanks) && dump)
        return usageError(QStringLiteral("--allow-blanks goes with set and apply only."));
    const qsizetype wanted = dump ? 2 : set ? 5 : 3;
    if (args.size() != wanted)
        return usageError(QStringLiteral("%1 takes %2 argument(s), not %3.")
                              .arg(command, QString::number(wanted - 1), QString::number(args.size() - 1)));

    try {
        if (dump)
            return dumpCommand(args.at(1), parser.isSet(json));
        if (set)
            return setCommand(args.at(1), args.at(2), args.at(3), args.at(4), parser.isSet(allowBlanks));
        return applyCommand(args.at(1), args.at(2), parser.isSet(allowBlanks));
    } catch (const RomError &e) {
        // An input/output error on the image.
        return refused(args.at(1), e.message());
    }
}
