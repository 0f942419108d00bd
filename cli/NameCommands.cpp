// dump, set and apply: the names of an image as text and back.
#include "Commands.h"

#include "NameDecision.h"
#include "NameList.h"
#include "NameText.h"
#include "ProgramVersion.h"
#include "SaveFile.h"
#include "lists/Forms.h"
#include "lists/ListFile.h"
#include "MemoryImage.h"

#include "CommandLine.h"
#include "ImageHeader.h"
#include "RomError.h"
#include "StopSignals.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// How the command stores characters without a code, if asked to.
constexpr const char *UncodedHint = " (--allow-blanks stores them as blanks)";

// A full dump is under 100 KB; anything this large is not a list of names.
constexpr std::size_t ListLimit = NameList::LargestList;

// Reads the list, or says why not. Never more than the limit plus one byte is
// read, so /dev/zero or a huge file ends in a refusal rather than a crash.
bool readList(const std::string &path, std::string &bytes, std::string &why)
{
    const bool fromStdin = path == "-";
    const int fd = fromStdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = CommandLine::systemReason(errno);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    bool ok = true;
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = CommandLine::systemReason(errno);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + std::size_t(n) > ListLimit) {
            why = "larger than 16 MiB, too large for a list of names";
            ok = false;
            break;
        }
        bytes.append(chunk, std::size_t(n));
    }
    if (!fromStdin)
        ::close(fd);
    return ok;
}

std::string listName(const std::string &path)
{
    return path == "-" ? "standard input" : shown(path);
}

// "the list's changes up to line 12 (items 7)"
std::string upTo(const NameList::Plan &plan, const NameList::Edit &last)
{
    return fmt::format("the list's changes up to {} ({})", NameList::placeOf(plan.byPosition, last.line),
                       NameList::entryLabel(*last.table, last.index));
}

// How the checksum fix after the names ended, once it failed.
std::string checksumFailure(const RomError &failure)
{
    return (failure.mayHaveChanged() ? "then the checksum: " : "but the checksum was not fixed: ") + failure.message();
}

// Whether making the checksum pair sound after the plan's changes would
// write anything: the changes made on a copy in memory, then the pair looked at.
bool checksumWouldChange(const RomFile &rom, const NameList::Plan &plan)
{
    MemoryImage copy(rom.read(-rom.offsetShift(), rom.size()));
    copy.setOffsetShift(rom.offsetShift());
    for (const NameList::Edit &edit : plan.changes)
        NameList::write(copy, edit);
    return !ImageHeader::inspect(copy).checksumValid;
}

// A problem as messages show it: its reason quotes the list's own text,
// which may hold terminal controls.
NameList::Problem escaped(const NameList::Problem &problem)
{
    return {problem.line, shown(problem.reason)};
}

// Names left alone because they are the editor's text of their field, as a
// list from an earlier version gives them.
void reportLeftAlone(const NameList::Plan &plan, const std::string &list)
{
    for (const NameList::Problem &note : plan.leftAlone)
        report(NameList::problemLine(list, plan.byPosition, escaped(note)));
}

// What a dry run prints: each change as category, index, the old and the new
// name, the old and the new bytes; then, on standard error, how many.
int printChanges(const NameList::Plan &plan, const std::string &image, bool fixing)
{
    std::string lines;
    for (const NameList::Edit &edit : plan.changes) {
        const int length = edit.table->nameLength;
        lines += fmt::format("{}\t{}\t{}\t{}\t{}\t{}\n", edit.table->name, edit.index, NameText::fromField(edit.before),
                             NameText::fromField(edit.after), NameList::hexColumn(edit.before, length),
                             NameList::hexColumn(edit.after, length));
    }
    const int printed = printData(lines);
    if (printed != CommandLine::Done)
        return printed;
    report(fmt::format("{}: {} name(s) would change{}; a dry run writes nothing.", shown(image), plan.changes.size(),
                       fixing ? ", then the checksum pair would be made sound" : ""));
    return CommandLine::Done;
}

// The file's own name, without the folders before it.
std::string fileName(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The names in the form the options ask for, lines where none does. Where
// the form leaves out entries past the end of a short file, which cannot be
// written, they are said to be left out.
int printList(const Arguments &arguments, const std::vector<NameList::Row> &rows, const std::string &image)
{
    const NameList::Form *form = NameList::formNamed("lines");
    for (const NameList::Form &each : NameList::forms())
        if (arguments.has("--" + std::string(each.keyword)))
            form = &each;
    // The file's name as text, a byte that is not UTF-8 as U+FFFD.
    const NameList::Written list = form->write(rows, {shown(Utf8::repaired(fileName(image))),
                                                      "orvane-names " + versionText()});
    if (!list.made) {
        report(fmt::format("{}: the {} file could not be made: {}", shown(image), form->name, list.why));
        return CommandLine::Refused;
    }
    const auto outside = std::count_if(rows.begin(), rows.end(), [](const NameList::Row &row) {
        return std::int64_t(row.field.size()) < row.table->nameLength;
    });
    if (form->wholeFieldsOnly && outside > 0)
        report(fmt::format("{}: {} entr(ies) lie past the end of the file and are left out.", shown(image), outside));
    return printData(list.text);
}

} // namespace

int dump(const Arguments &arguments)
{
    // Reading only, so a write-protected original can be listed.
    RomFile rom;
    if (!openLaidOut(rom, arguments.operands.at(0), RomFile::Access::ReadOnly, arguments))
        return CommandLine::Refused;
    return printList(arguments, NameList::dump(rom), arguments.operands.at(0));
}

// Makes the checksum pair sound after names that changed nothing: only the
// pair can go in.
int fixOnlyTheChecksum(RomFile &rom, const std::string &image, const std::string &where)
{
    if (const std::optional<RomError> failure = fixChecksum(rom, image)) {
        if (failure->mayHaveChanged()) {
            report(where + "no name changed; the checksum: " + failure->message());
            return CommandLine::PartWay;
        }
        report(where + "no name changed, and the checksum was not fixed: " + failure->message()
               + " Nothing was written.");
        return CommandLine::Refused;
    }
    return CommandLine::Done;
}

int set(const Arguments &arguments)
{
    const std::string &image = arguments.operands.at(0);
    const std::string &category = arguments.operands.at(1);
    const NameTables::NameTable *table = NameList::tableNamed(category);
    if (!table) {
        report(shown(category) + ": unknown category; it must be characters, monsters, magic or items.");
        return CommandLine::Refused;
    }
    const int index = NameList::parseIndex(*table, arguments.operands.at(2));
    if (index < 0) {
        report(fmt::format("{0} {1}: not an index of {0} (0 to {2}).", category, shown(arguments.operands.at(2)),
                           table->entries - 1));
        return CommandLine::Refused;
    }
    const std::string &name = arguments.operands.at(3);
    if (!Utf8::isValid(name)) {
        report(fmt::format("the name \"{}\" is not UTF-8 text; nothing was written.", shown(name)));
        return CommandLine::Refused;
    }

    const bool dryRun = arguments.has("--dry-run");
    const bool fixing = arguments.has("--fix-checksum");
    RomFile rom;
    if (!openLaidOut(rom, image, dryRun ? RomFile::Access::WouldWrite : RomFile::Access::ReadWrite, arguments))
        return CommandLine::Refused;
    const std::string where = shown(image) + ": " + NameList::entryLabel(*table, index) + ": ";
    // The name is taken as typed: only its bytes say whether it changes the
    // field, as in the page.
    NameList::Decision decision =
        NameList::decide(rom, *table, index, name, arguments.has("--allow-blanks"), UncodedHint);
    NameList::Plan plan;
    if (decision.change)
        plan.changes.push_back(std::move(*decision.change));
    std::string refusal = decision.refusal;
    if (refusal.empty() && fixing)
        refusal = ImageHeader::cannotHoldChecksum(rom);
    if (!refusal.empty()) {
        report(where + shown(refusal) + " Nothing was written.");
        return CommandLine::Refused;
    }
    if (dryRun)
        return printChanges(plan, image, fixing && checksumWouldChange(rom, plan));
    if (plan.changes.empty())
        return fixing ? fixOnlyTheChecksum(rom, image, where) : int(CommandLine::Done);
    try {
        for (const NameList::Edit &change : plan.changes)
            NameList::write(rom, change);
    } catch (const RomError &e) {
        if (e.mayHaveChanged()) {
            CommandLine::noteWritten();
            try {
                rom.sync();
            } catch (const RomError &) {
            }
            report(where + e.message());
            return CommandLine::PartWay;
        }
        report(where + e.message() + " Nothing was written.");
        return CommandLine::Refused;
    }
    CommandLine::noteWritten();
    try {
        rom.sync();
    } catch (const RomError &e) {
        report(where + e.message() + " The name went in but may not be on the disk yet.");
        return CommandLine::PartWay;
    }
    if (!rom.pathNamesOpenedFile()) {
        report(where + "the name went into " + goneFromPath(image) + '.');
        return CommandLine::PartWay;
    }
    if (fixing) {
        if (const std::optional<RomError> failure = fixChecksum(rom, image)) {
            report(where + "the name went in and is synced, " + checksumFailure(*failure));
            return CommandLine::PartWay;
        }
    }
    return CommandLine::Done;
}

int apply(const Arguments &arguments)
{
    const std::string &image = arguments.operands.at(0);
    const std::string &listPath = arguments.operands.at(1);
    const std::string list = listName(listPath);
    std::string bytes, why;
    // Descriptor 0 is /dev/null then, which would read as a list of nothing.
    if (listPath == "-" && CommandLine::inputClosed()) {
        report("standard input is closed: give the list in a file or through a pipe; nothing was written.");
        return CommandLine::Refused;
    }
    if (!readList(listPath, bytes, why)) {
        report(list + ": " + why + "; nothing was written.");
        return CommandLine::Refused;
    }
    NameList::Request request = NameList::read(bytes, listPath);
    request.uncodedHint = UncodedHint;
    if (!request.unreadable.empty()) {
        report(list + ": " + shown(request.unreadable) + "; nothing was written.");
        return CommandLine::Refused;
    }
    for (const std::string &note : NameList::requestNotes(request))
        report(list + ": " + note);

    const bool dryRun = arguments.has("--dry-run");
    RomFile rom;
    if (!openLaidOut(rom, image, dryRun ? RomFile::Access::WouldWrite : RomFile::Access::ReadWrite, arguments))
        return CommandLine::Refused;
    const NameList::Plan plan = NameList::check(rom, request, arguments.has("--allow-blanks"));
    const bool fixing = arguments.has("--fix-checksum");
    const std::string noChecksum = fixing ? ImageHeader::cannotHoldChecksum(rom) : std::string();
    if (!plan.problems.empty() || !noChecksum.empty()) {
        // The core keeps the first problems; past them, only how many more.
        for (const NameList::Problem &problem : plan.problems)
            report(NameList::problemLine(list, plan.byPosition, escaped(problem)));
        if (plan.moreProblems > 0)
            report(NameList::moreProblems(list, plan.moreProblems));
        if (!noChecksum.empty())
            report(shown(image) + ": " + noChecksum);
        report(fmt::format("{}: nothing was written ({} problem(s)).", shown(image),
                           plan.problems.size() + plan.moreProblems + (noChecksum.empty() ? 0 : 1)));
        return CommandLine::Refused;
    }
    reportLeftAlone(plan, list);
    if (dryRun)
        return printChanges(plan, image, fixing && checksumWouldChange(rom, plan));

    StopSignals::catchFromNowOn();
    const NameList::Outcome outcome = NameList::apply(rom, plan, [] { return StopSignals::received() != 0; });
    const int total = int(plan.changes.size());
    const int written = outcome.written;
    const std::string img = shown(image);
    if (written > 0 || outcome.partly)
        CommandLine::noteWritten();
    if (written == total && !outcome.syncFailure && (total == 0 || rom.pathNamesOpenedFile())) {
        report(fmt::format("{}: {} name(s) changed.", img, written));
        if (!fixing)
            return CommandLine::Done;
        // A stop asked for during the last name comes before the checksum.
        if (StopSignals::received() != 0) {
            report(fmt::format("{}: stopped by {} before the checksum; its pair was not made sound.", img,
                               StopSignals::name(StopSignals::received())));
            return written > 0 ? CommandLine::PartWay : CommandLine::Refused;
        }
        if (total == 0)
            return fixOnlyTheChecksum(rom, image, img + ": ");
        if (const std::optional<RomError> failure = fixChecksum(rom, image)) {
            report(fmt::format("{}: the names went in and are synced, {}", img, checksumFailure(*failure)));
            return CommandLine::PartWay;
        }
        return CommandLine::Done;
    }

    if (outcome.failure) {
        const NameList::Edit &failed = plan.changes[std::size_t(written)];
        report(fmt::format("{}: {} ({}): {}", img, NameList::entryLabel(*failed.table, failed.index),
                           NameList::placeOf(plan.byPosition, failed.line), outcome.failure->message()));
    } else if (written < total) {
        report(fmt::format("{}: stopped by {}.", img, StopSignals::name(StopSignals::received())));
    }
    if (written == 0 && !outcome.partly) {
        report(img + ": nothing was written.");
        return CommandLine::Refused;
    }
    const std::string synced = outcome.syncFailure
                                 ? fmt::format(" but may not be on the disk yet ({})", outcome.syncFailure->message())
                                 : std::string(" and are synced");
    std::string went = fmt::format("{} of {} name(s) went in", written, total);
    if (written > 0)
        went += synced + ": " + upTo(plan, plan.changes[std::size_t(written - 1)]);
    if (outcome.partly) {
        const NameList::Edit &failed = plan.changes[std::size_t(written)];
        // Said of the half-written name only where no whole one went in.
        const std::string itsSync = written > 0 ? std::string() : outcome.syncFailure ? synced : ", synced";
        went += fmt::format("; {} ({}) may hold part of its new name{}",
                            NameList::entryLabel(*failed.table, failed.index),
                            NameList::placeOf(plan.byPosition, failed.line), itsSync);
    }
    const int untouched = total - written - (outcome.partly ? 1 : 0);
    if (!rom.pathNamesOpenedFile())
        report(fmt::format("{}: {}. They went into {}.", img, went, goneFromPath(image)));
    else if (untouched > 0)
        report(fmt::format("{}: {}; the other {} were not written.", img, went, untouched));
    else
        report(fmt::format("{}: {}.", img, went));
    return CommandLine::PartWay;
}

} // namespace Commands
