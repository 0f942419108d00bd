// orvane-names: the names of an image as text, for scripts, and the road from
// an edited image to a patch that can be published.
#include "Commands.h"
#include "lists/Forms.h"
#include "ProgramVersion.h"
#include "RomError.h"
#include "StandardStreams.h"
#include "StopSignals.h"

#include <algorithm>
#include <csignal>

#include <exception>
#include <new>
#include <utility>
#include <vector>

namespace {

using CommandLine::report;

const char help[] =
    "Usage: orvane-names dump [--json|--csv|--po] [--only CATEGORY[,...]] [OPTION...] IMAGE\n"
    "       orvane-names dump --changed-from ORIGINAL [OPTION...] IMAGE\n"
    "       orvane-names set [OPTION...] IMAGE CATEGORY INDEX NAME\n"
    "       orvane-names apply [OPTION...] IMAGE FILE\n"
    "       orvane-names info [--json] [--headered|--headerless] IMAGE|PATCH\n"
    "       orvane-names checksum [--fix] [--headered|--headerless] IMAGE\n"
    "       orvane-names diff [--json] [--exit-code] [OPTION...] IMAGE_A IMAGE_B|PATCH\n"
    "       orvane-names patch [OPTION...] ORIGINAL EDITED OUTPUT\n"
    "       orvane-names patch --apply [--force] [--headered|--headerless] PATCH IMAGE OUTPUT\n"
    "       orvane-names table [--table FILE]\n"
    "\n"
    "Lists and writes the names in a cartridge image, in place, checks the image,\n"
    "fixes its checksum and makes a patch to publish. There is no undo and no\n"
    "backup: keep your own copy of the image.\n"
    "\n"
    "Commands:\n"
    "  dump      prints one line per entry, tab-separated: category, index, leading\n"
    "            byte in hex (- where there is none), name, the field's bytes in hex\n"
    "            (-- for bytes past the end of a short file). Names are lossless:\n"
    "            a byte with no character shows as <$XX>, the ellipsis code as the\n"
    "            single character U+2026; set and apply read both back so.\n"
    "            In a spreadsheet, import every column as Text, or it rewrites\n"
    "            names and indexes it takes for numbers (007 becomes 7).\n"
    "            With --changed-from, only the names in which IMAGE differs from\n"
    "            ORIGINAL, with ORIGINAL's bytes: a translator hands in exactly\n"
    "            their work.\n"
    "  set       writes one name. CATEGORY is characters, monsters, magic or items;\n"
    "            INDEX counts from 0. Put -- before a NAME that starts with -.\n"
    "  apply     reads a dump from FILE (- for standard input, refused when it is\n"
    "            closed) in any of its forms\n"
    "            (lines, CSV, JSON, PO; UTF-8, or UTF-16 with a byte-order mark)\n"
    "            and writes the names whose bytes differ from the image; if any\n"
    "            entry is bad, it writes nothing. Rows may be separated by tabs,\n"
    "            commas or semicolons, as the first row is. A first line that\n"
    "            names the category, index and name columns finds them by name;\n"
    "            other columns, blank lines and lines starting with # are skipped.\n"
    "            An empty name leaves its entry alone, as an empty msgstr does;\n"
    "            fuzzy PO entries are left out. Blanks at a name's end are\n"
    "            padding. Ctrl+C stops it between two names; what went in is\n"
    "            synced and named.\n"
    "            The bytes column (\"bytes\" in JSON) says what each field held\n"
    "            when the list was made: a name still as it was then is left as\n"
    "            the image now holds it, and a name whose field changed since\n"
    "            to another name is a conflict, shown with the three names; a\n"
    "            list with conflicts writes nothing (exit 2) unless --overwrite.\n"
    "            Rows without bytes are written as given.\n"
    "  info      prints the size, whether there is a copier header, the internal\n"
    "            title, map mode, stored and computed checksum, and the CRC-32s of\n"
    "            the image behind the copier header and of the whole file. Of a\n"
    "            BPS patch: the sizes and CRC-32s of the images it takes and\n"
    "            makes, and its metadata; of an IPS patch: its records and the\n"
    "            bytes they write.\n"
    "  checksum  prints the stored and the computed checksum; exits 3 when the\n"
    "            stored pair is not sound. With --fix it prints them as the\n"
    "            image holds them afterwards.\n"
    "  diff      prints category, index, the name in IMAGE_A and the name in\n"
    "            IMAGE_B for each entry whose name differs, and on standard error\n"
    "            how many bytes outside the name fields differ; with --exit-code\n"
    "            it exits 3 when any name differs. Given a BPS or IPS patch in\n"
    "            place of IMAGE_B, it compares IMAGE_A with what the patch makes\n"
    "            of it, and says where an IPS patch reaches into the copier header\n"
    "            or past the end, or was made for the image without its header.\n"
    "  patch     writes every byte in which EDITED differs from ORIGINAL as a\n"
    "            patch, BPS or IPS as OUTPUT ends in .bps or .ips, for the image a\n"
    "            player holds: an IPS applies to the file as it is, copier header\n"
    "            and all; a BPS to the image behind the header, which BPS\n"
    "            patchers take off themselves. It says which, with the CRC-32 of\n"
    "            exactly that image for a player to check. Both images are only read;\n"
    "            the patch is written whole or not at all, and never over either.\n"
    "            With --apply, writes what PATCH makes of IMAGE to OUTPUT, with the\n"
    "            same care; a patch cut short, failing its CRC-32 or made for\n"
    "            another image is refused whole.\n"
    "  table     prints the character table, one HH=text line per byte; with\n"
    "            --table FILE, the game's table with FILE laid over it.\n"
    "\n"
    "Options:\n"
    "  --json           print JSON (dump, info, diff)\n"
    "  --csv            print CSV with a header row, for spreadsheets (dump)\n"
    "  --po             print a gettext PO file, for translation tools (dump)\n"
    "  --bom            start with a UTF-8 byte-order mark, so spreadsheets that\n"
    "                   take text for Windows-1252 read it right (dump --csv)\n"
    "  --only CATEGORY[,CATEGORY]\n"
    "                   only the names of these categories (dump, apply)\n"
    "  --changed-from ORIGINAL\n"
    "                   only the names that differ from ORIGINAL (dump)\n"
    "  --overwrite      write the list's names over conflicting ones (apply)\n"
    "  --dry-run        open the image as the real run does, for writing, write\n"
    "                   nothing, and print each change, old and new name and\n"
    "                   bytes, with every check made (set, apply)\n"
    "  --allow-blanks   store characters that have no code as blanks (set, apply)\n"
    "  --table FILE     read and write names through the game's table with FILE\n"
    "                   laid over it: lines HH=text as table prints them (UTF-8,\n"
    "                   # comments) that give codes to a team's own letters or\n"
    "                   rename codes; a text may be several characters (\"th\"),\n"
    "                   and a name takes the longest text that has a code. A\n"
    "                   malformed line, a byte or a text given twice, and another\n"
    "                   text for FF (the blank) or D1 (the ellipsis) are refused\n"
    "                   with the line (dump, set, apply, diff, table)\n"
    "  --fix-checksum   write the sound checksum pair after the names (set, apply)\n"
    "  --fix            write the sound checksum pair, those 4 bytes only (checksum)\n"
    "  --headered       the image has a 512-byte copier header\n"
    "  --headerless     the image has no copier header. Without either option\n"
    "                   the image tells: its internal header at only one of\n"
    "                   the two places it can lie (a sound checksum pair and a\n"
    "                   printable title), else the size (a multiple of 1024 has\n"
    "                   none, 512 more has one), else a sound pair at only one\n"
    "                   place; any other size is taken as headered, and said so. A\n"
    "                   command that writes refuses an option against an internal\n"
    "                   header whose checksum matches; other doubts are warned of\n"
    "  --keep-header    make a BPS patch against the whole file, copier header\n"
    "                   and all, as an IPS is made (patch)\n"
    "  --drop-header    make an IPS patch against the image behind the copier\n"
    "                   header, as a BPS is made (patch)\n"
    "  --exit-code      exit 3 when any name differs (diff)\n"
    "  --force          replace an existing OUTPUT (patch)\n"
    "  --apply          apply PATCH to IMAGE, into OUTPUT (patch)\n"
    "  -h, --help       show this text\n"
    "  -v, --version    show the version\n"
    "\n"
    "A file that is no image is refused before any name is read: an archive\n"
    "(ZIP, gzip, 7-Zip, RAR), a patch (BPS, UPS, IPS), a PNG picture, and any\n"
    "file under 65504 bytes, too small to hold the internal header.\n"
    "\n"
    "Every write is whole and synced before the command ends. Reports go to\n"
    "standard error; standard output carries only the data asked for. In\n"
    "reports, file names and text from a list or the command line show each\n"
    "byte that is not UTF-8, each control character (C1 controls included)\n"
    "and each bidirectional override or isolate as \\xHH, and a backslash as\n"
    "\\\\, so no name can act on the terminal or pass for another.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  usage error\n"
    "  2  refused, and nothing was written\n"
    "  3  a check found a mismatch (checksum; diff with --exit-code)\n"
    "  4  stopped part-way; what went in is synced and named\n"
    "An apply stopped by Ctrl+C, SIGTERM or SIGHUP names and syncs what went in,\n"
    "then ends by that signal (status 130 for Ctrl+C in a shell), so that a loop\n"
    "that runs it stops too.\n";

// dump's options that pick a list's form: one for each form of the table but
// the first, lines, which it writes when none is given.
const std::vector<std::string> &formOptions()
{
    static const std::vector<std::string> options = [] {
        std::vector<std::string> made;
        for (const NameList::Form &form : NameList::forms().subspan(1))
            made.push_back("--" + std::string(form.keyword));
        return made;
    }();
    return options;
}

int usageError(const std::string &message)
{
    report(message + "\nTry 'orvane-names --help'.");
    return CommandLine::Usage;
}

int run(int argc, char *argv[])
{
    CommandLine::Arguments arguments;
    const std::string wrong = CommandLine::split(argc, argv, arguments);
    if (!wrong.empty())
        return usageError(wrong);
    if (arguments.has("--help"))
        return Commands::printData(help);
    if (arguments.has("--version"))
        return Commands::printData("orvane-names " + versionText() + '\n');

    using Command = CommandLine::Command;
    static const std::vector<std::pair<Command, int (*)(const CommandLine::Arguments &)>> commands = {
        {{"dump", 1,
          [] {
              std::vector<const char *> options;
              for (const std::string &option : formOptions())
                  options.push_back(option.c_str());
              options.insert(options.end(), {"--headered", "--headerless", "--only", "--changed-from", "--bom", "--table"});
              return options;
          }()},
         Commands::dump},
        {{"set", 4, {"--allow-blanks", "--fix-checksum", "--dry-run", "--headered", "--headerless", "--table"}},
         Commands::set},
        {{"apply", 2,
          {"--allow-blanks", "--fix-checksum", "--dry-run", "--headered", "--headerless", "--only", "--overwrite",
           "--table"}},
         Commands::apply},
        {{"info", 1, {"--json", "--headered", "--headerless"}}, Commands::info},
        {{"checksum", 1, {"--fix", "--headered", "--headerless"}}, Commands::checksum},
        {{"diff", 2, {"--json", "--exit-code", "--headered", "--headerless", "--table"}}, Commands::diff},
        {{"patch", 3, {"--headered", "--headerless", "--keep-header", "--drop-header", "--force", "--apply"}},
         Commands::patch},
        {{"table", 0, {"--table"}}, Commands::table},
    };
    std::vector<Command> known;
    for (const auto &command : commands)
        known.push_back(command.first);
    const std::string problem = CommandLine::usageProblem(arguments, known);
    if (!problem.empty())
        return usageError(problem);
    if (arguments.has("--headered") && arguments.has("--headerless"))
        return usageError("--headered and --headerless exclude each other.");
    if (std::count_if(formOptions().begin(), formOptions().end(),
                      [&](const std::string &option) { return arguments.has(option); })
        > 1) {
        std::string listed;
        for (std::size_t k = 0; k < formOptions().size(); ++k)
            listed += (k == 0 ? "" : k + 1 == formOptions().size() ? " and " : ", ") + formOptions()[k];
        return usageError(listed + " exclude each other.");
    }
    if (arguments.has("--bom") && (arguments.has("--json") || arguments.has("--po")))
        return usageError("--bom goes with --csv or the lines, not with --json or --po.");
    if (arguments.has("--keep-header") && arguments.has("--drop-header"))
        return usageError("--keep-header and --drop-header exclude each other.");
    if (arguments.command == "patch" && !arguments.has("--apply")) {
        if (Commands::patchFormat(arguments.operands.at(2)).empty())
            return usageError("the patch's name must end in .bps or .ips: \"" + CommandLine::shown(arguments.operands.at(2))
                              + "\".");
    }
    // A team's table is read and checked before any image is opened.
    if (!Commands::readTableOption(arguments))
        return CommandLine::Refused;
    for (const auto &[command, perform] : commands) {
        if (arguments.command != command.name)
            continue;
        try {
            return perform(arguments);
        } catch (const RomError &e) {
            // A read of an image failed; the writes report their own failures.
            const std::string file = e.file().empty() && !arguments.operands.empty() ? arguments.operands.front()
                                                                                       : e.file();
            report(CommandLine::shown(file) + ": " + e.message());
            return CommandLine::Refused;
        }
    }
    return CommandLine::Usage;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything is opened: otherwise an image could become descriptor
    // 2 and take every message.
    CommandLine::setClosedStreams(openStandardStreams());
    // A closed standard output gives EPIPE, reported like any other failure
    // to deliver, instead of ending the program between two writes.
    std::signal(SIGPIPE, SIG_IGN);
    // Nothing escapes unreported; every write reports its own failure, so
    // what is left is a refusal before anything was written.
    try {
        const int status = CommandLine::finalStatus(run(argc, argv));
        StopSignals::endIfStopped();
        return status;
    } catch (const std::bad_alloc &) {
        report(CommandLine::wroteAny() ? "out of memory." : "out of memory; nothing was written.");
    } catch (const std::exception &e) {
        report(e.what());
    } catch (...) {
        report(CommandLine::wroteAny() ? "an unexpected failure." : "an unexpected failure; nothing was written.");
    }
    return CommandLine::finalStatus(CommandLine::Refused);
}
