// apply: a list read, checked whole against the image, then written name by
// name, and the account of what went in when a run stops part-way.
#include "NameWrites.h"

#include "CommandLine.h"
#include "ImageHeader.h"
#include "NameDecision.h"
#include "RomError.h"
#include "StopSignals.h"
#include "lists/ListFile.h"

#include <fmt/format.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

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

// Each conflict with its three names, the first the core keeps, then how
// many more.
void reportConflicts(const NameList::Plan &plan, const std::string &list)
{
    for (const NameList::Conflict &conflict : plan.conflicts) {
        NameList::Conflict shownConflict = conflict;
        for (std::string *name : {&shownConflict.made, &shownConflict.now, &shownConflict.list})
            *name = shown(*name);
        report(NameList::conflictLine(list, plan.byPosition, shownConflict));
    }
    if (plan.moreConflicts > 0)
        report(fmt::format("{}: and {} more conflict(s).", list, plan.moreConflicts));
}

// The names the list did not change since it was made, and those outside
// the categories of --only: both left as the image holds them.
void reportLeftOut(const NameList::Plan &plan, const std::string &list)
{
    for (const std::string &note : NameList::planNotes(plan))
        report(list + ": " + note);
}

} // namespace

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
    request.characters = &characters();
    request.overwrite = arguments.has("--overwrite");
    if (!onlyCategories(arguments, request.only))
        return CommandLine::Usage;
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
    if (plan.refused() || !noChecksum.empty()) {
        // The core keeps the first problems; past them, only how many more.
        for (const NameList::Problem &problem : plan.problems)
            report(NameList::problemLine(list, plan.byPosition, escaped(problem)));
        if (plan.moreProblems > 0)
            report(NameList::moreProblems(list, plan.moreProblems));
        reportConflicts(plan, list);
        if (!noChecksum.empty())
            report(shown(image) + ": " + noChecksum);
        const std::size_t problems = plan.problems.size() + plan.moreProblems + (noChecksum.empty() ? 0 : 1);
        const std::size_t conflicts = plan.conflicts.size() + plan.moreConflicts;
        if (conflicts == 0)
            report(fmt::format("{}: nothing was written ({} problem(s)).", shown(image), problems));
        else
            report(fmt::format("{}: nothing was written ({}{} conflict(s)); --overwrite writes the list's names over "
                               "the conflicting ones.",
                               shown(image), problems > 0 ? fmt::format("{} problem(s), ", problems) : "",
                               conflicts));
        return CommandLine::Refused;
    }
    reportLeftAlone(plan, list);
    reportLeftOut(plan, list);
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
