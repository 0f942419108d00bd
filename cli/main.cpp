// orvane-names: the names of an image as text, for scripts.
#include "Commands.h"
#include "ProgramVersion.h"
#include "RomError.h"
#include "StandardStreams.h"

#include <exception>
#include <new>

namespace {

using CommandLine::report;

const char help[] =
    "Usage: orvane-names dump [--json] IMAGE\n"
    "       orvane-names set [--allow-blanks] IMAGE CATEGORY INDEX NAME\n"
    "       orvane-names apply [--allow-blanks] IMAGE FILE\n"
    "\n"
    "Lists and writes the names in a headered cartridge image, in place. There is\n"
    "no undo and no backup: keep your own copy of the image.\n"
    "\n"
    "  dump   prints one line per entry, tab-separated: category, index, leading\n"
    "         byte in hex (- where there is none), name, the field's bytes in hex\n"
    "         (-- for bytes past the end of a short file).\n"
    "  set    writes one name. CATEGORY is characters, monsters, magic or items;\n"
    "         INDEX counts from 0. Put -- before a NAME that starts with -.\n"
    "  apply  reads a dump from FILE (- for standard input) and writes the names\n"
    "         that differ from the image; if any line is bad, it writes nothing.\n"
    "         Ctrl+C stops it between two names; what went in is synced.\n"
    "\n"
    "  --json           dump as a JSON array\n"
    "  --allow-blanks   store characters that have no code as blanks\n"
    "  -h, --help       show this text\n"
    "  -v, --version    show the version\n"
    "\n"
    "Every name is written whole, and synced before the command ends. Reports go\n"
    "to standard error; standard output carries only the data asked for.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  usage error\n"
    "  2  refused, and nothing was written\n"
    "  4  stopped part-way; the names that went in are synced and named\n";

int usageError(const QString &message)
{
    report(message + QStringLiteral("\nTry 'orvane-names --help'."));
    return CommandLine::Usage;
}

int run(int argc, char *argv[])
{
    CommandLine::Arguments arguments;
    const QString wrong = CommandLine::split(argc, argv, arguments);
    if (!wrong.isEmpty())
        return usageError(wrong);
    if (arguments.has("--help"))
        return Commands::printData(help);
    if (arguments.has("--version"))
        return Commands::printData("orvane-names " + versionText().toUtf8() + '\n');

    static const QList<CommandLine::Command> commands = {
        {"dump", 1, {"--json"}},
        {"set", 4, {"--allow-blanks"}},
        {"apply", 2, {"--allow-blanks"}},
    };
    const QString problem = CommandLine::usageProblem(arguments, commands);
    if (!problem.isEmpty())
        return usageError(problem);
    try {
        if (arguments.command == "dump")
            return Commands::dump(arguments);
        if (arguments.command == "set")
            return Commands::set(arguments);
        return Commands::apply(arguments);
    } catch (const RomError &e) {
        // A read of the image failed; the writes report their own failures.
        report(CommandLine::shown(arguments.operands.at(0)) + QStringLiteral(": ") + e.message());
        return CommandLine::Refused;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything is opened: otherwise an image could become descriptor
    // 2 and take every message.
    openStandardStreams();
    // Nothing escapes unreported; every write reports its own failure, so
    // what is left is a refusal before anything was written.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        report(QStringLiteral("out of memory; nothing was written."));
    } catch (const std::exception &e) {
        report(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report(QStringLiteral("an unexpected failure; nothing was written."));
    }
    return CommandLine::Refused;
}
