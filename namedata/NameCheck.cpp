// The checks of a list against an image: what each name would write, and
// why a name cannot be written.
#include "NameList.h"

#include "GetText.h"
#include "Image.h"
#include "NameText.h"
#include "RomError.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace NameList {
namespace {

using NameTables::NameTable;

std::string joined(const std::vector<std::string> &parts, std::string_view separator)
{
    std::string all;
    for (std::size_t k = 0; k < parts.size(); ++k)
        all += (k > 0 ? std::string(separator) : std::string()) + parts[k];
    return all;
}

// Whether the bytes a name stands for are those the field holds: all of them,
// or, where the image ends inside the field, those that are there, with only
// padding after them.
bool holds(ByteView current, ByteView wanted)
{
    if (wanted.size() < current.size())
        return false;
    return std::equal(current.begin(), current.end(), wanted.begin())
        && std::all_of(wanted.begin() + std::ptrdiff_t(current.size()), wanted.end(),
                       [](std::uint8_t byte) { return byte == 0xFF; });
}

} // namespace

std::string refusal(const Image &rom, const NameTable &table, int index, std::string_view name, bool allowBlanks,
                    std::string_view uncodedHint, const CharTable &characters)
{
    const NameText::Encoded encoded = NameText::encode(name, characters);
    if (std::int64_t(encoded.bytes.size()) > table.nameLength)
        return fmt::format("The name \"{}\" needs {} bytes and the field holds {}.", name, encoded.bytes.size(),
                           table.nameLength);
    if (!allowBlanks && !encoded.uncoded.empty())
        return fmt::format("The name has characters without a code: {}{}.", joined(encoded.uncoded, ", "),
                           uncodedHint);
    try {
        rom.requireInside(NameTables::nameOffset(table, index), table.nameLength);
    } catch (const RomError &e) {
        return e.message();
    }
    return {};
}

std::string conflictLine(std::string_view list, bool byPosition, const Conflict &conflict)
{
    return problemLine(list, byPosition,
                       {conflict.line, fmt::format("{} changed since the list was made: \"{}\" then, \"{}\" in the "
                                                   "image now, \"{}\" in the list.",
                                                   entryLabel(*conflict.table, conflict.index), conflict.made,
                                                   conflict.now, conflict.list)});
}

Plan check(const Image &rom, const Request &request, bool allowBlanks)
{
    Plan plan;
    plan.problems = request.problems;
    plan.byPosition = request.byPosition;
    const CharTable &characters = request.characters ? *request.characters : CharTable::game();
    for (const Entry &entry : request.entries) {
        const NameTable &table = *entry.table;
        const auto &only = request.only;
        if (!only.empty() && std::find(only.begin(), only.end(), &table) == only.end()) {
            ++plan.otherCategories;
            continue;
        }
        const std::int32_t offset = NameTables::nameOffset(table, entry.index);
        const Bytes current = rom.read(offset, table.nameLength);
        const std::string_view name = withoutTrailingBlanks(entry.name);
        const NameText::Encoded encoded = NameText::encode(name, characters);
        const bool fits = std::int64_t(encoded.bytes.size()) <= table.nameLength;
        Bytes after = NameText::toField(name, table.nameLength, characters);
        // Whatever the field holds now, a name the list did not change is
        // not the list's to write: another hand may have changed it since.
        if (entry.base && fits && encoded.uncoded.empty() && holds(*entry.base, after)) {
            ++plan.unchangedSinceMade;
            continue;
        }
        if (fits && (allowBlanks || encoded.uncoded.empty()) && holds(current, after))
            continue;
        // Blanks show nothing, so a name of blanks is never the text of a
        // field of bytes without characters: it blanks the field.
        if (request.earlierText && !name.empty() && sameName(name, GetText::DecodeName(current))) {
            plan.leftAlone.push_back(
                {entry.line, fmt::format("{}: \"{}\" is how earlier versions showed the name the field holds "
                                         "({}), so it is left alone; to write it as given, spell each full stop "
                                         "as <$C5> and each blank as <$FF>.",
                                         entryLabel(table, entry.index), entry.name,
                                         hexColumn(current, table.nameLength))});
            continue;
        }
        if (entry.base && current != *entry.base && !request.overwrite) {
            if (plan.conflicts.size() < ProblemsKept)
                plan.conflicts.push_back({entry.line, &table, entry.index,
                                          std::string(withoutTrailingBlanks(NameText::fromField(*entry.base, characters))),
                                          std::string(withoutTrailingBlanks(NameText::fromField(current, characters))),
                                          std::string(name)});
            else
                ++plan.moreConflicts;
            continue;
        }
        const std::string reason = refusal(rom, table, entry.index, name, allowBlanks, request.uncodedHint, characters);
        if (!reason.empty()) {
            plan.problems.push_back({entry.line, entryLabel(table, entry.index) + ": " + reason});
            continue;
        }
        plan.changes.push_back({entry.line, &table, entry.index, current, std::move(after)});
    }
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    // The reader kept its first problems, so those and the entries' own are
    // the first of all.
    plan.moreProblems = request.moreProblems;
    if (plan.problems.size() > ProblemsKept) {
        plan.moreProblems += plan.problems.size() - ProblemsKept;
        plan.problems.resize(ProblemsKept);
    }
    return plan;
}

} // namespace NameList
