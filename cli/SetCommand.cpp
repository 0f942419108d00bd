// set: one name written, and what set and apply share.
#include "NameWrites.h"

#include "CommandLine.h"
#include "ImageHeader.h"
#include "MemoryImage.h"
#include "NameDecision.h"
#include "NameText.h"
#include "RomError.h"
#include "Utf8.h"

#include <fmt/format.h>

namespace Commands {

using CommandLine::report;
using CommandLine::shown;

std::string checksumFailure(const RomError &failure)
{
    return (failure.mayHaveChanged() ? "then the checksum: " : "but the checksum was not fixed: ") + failure.message();
}

bool checksumWouldChange(const RomFile &rom, const NameList::Plan &plan)
{
    MemoryImage copy(rom.read(-rom.offsetShift(), rom.size()));
    copy.setOffsetShift(rom.offsetShift());
    for (const NameList::Edit &edit : plan.changes)
        NameList::write(copy, edit);
    return !ImageHeader::inspect(copy).checksumValid;
}

int printChanges(const NameList::Plan &plan, const std::string &image, bool fixing)
{
    std::string lines;
    for (const NameList::Edit &edit : plan.changes) {
        const int length = edit.table->nameLength;
        lines += fmt::format("{}\t{}\t{}\t{}\t{}\t{}\n", edit.table->name, edit.index, NameText::fromField(edit.before, characters()),
                             NameText::fromField(edit.after, characters()), NameList::hexColumn(edit.before, length),
                             NameList::hexColumn(edit.after, length));
    }
    const int printed = printData(lines);
    if (printed != CommandLine::Done)
        return printed;
    report(fmt::format("{}: {} name(s) would change{}; a dry run writes nothing.", shown(image), plan.changes.size(),
                       fixing ? ", then the checksum pair would be made sound" : ""));
    return CommandLine::Done;
}

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
        NameList::decide(rom, *table, index, name, arguments.has("--allow-blanks"), UncodedHint, characters());
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

} // namespace Commands
