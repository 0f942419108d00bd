#include "NameList.h"
#include "NameDecision.h"

#include "GetText.h"
#include "Image.h"
#include "NameText.h"
#include "RomError.h"
#include "lists/TextList.h"

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

} // namespace

std::vector<Row> dump(const Image &rom)
{
    std::vector<Row> rows;
    for (const NameTable &table : NameTables::All) {
        // The whole table with one read; where the image ends inside it, the
        // entries from there on are short or empty.
        const Bytes all = rom.read(table.firstEntry, NameTables::tableEnd(table) - table.firstEntry);
        const auto part = [&](std::int64_t from, std::int64_t length) {
            const auto begin = std::min<std::int64_t>(from - table.firstEntry, std::int64_t(all.size()));
            const auto end = std::min<std::int64_t>(begin + length, std::int64_t(all.size()));
            return Bytes(all.begin() + begin, all.begin() + end);
        };
        for (int i = 0; i < table.entries; ++i) {
            const std::int32_t offset = NameTables::nameOffset(table, i);
            Row row{&table, i, std::nullopt, {}, part(offset, table.nameLength), offset + rom.offsetShift()};
            row.name = NameText::fromField(row.field);
            if (table.hasLeadingByte) {
                const Bytes leading = part(NameTables::entryOffset(table, i), 1);
                if (!leading.empty())
                    row.leadingByte = leading.front();
            }
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

Row dumpEntry(const Image &rom, const NameTable &table, int index)
{
    // read() gives fewer bytes, or none, where the image ends.
    const std::int32_t offset = NameTables::nameOffset(table, index);
    Row row{&table, index, std::nullopt, {}, rom.read(offset, table.nameLength), offset + rom.offsetShift()};
    row.name = NameText::fromField(row.field);
    if (table.hasLeadingByte) {
        const Bytes leading = rom.read(NameTables::entryOffset(table, index), 1);
        if (!leading.empty())
            row.leadingByte = leading.front();
    }
    return row;
}

std::string problemLine(std::string_view list, bool byPosition, const Problem &problem)
{
    return fmt::format("{}:{}{}: {}", list, byPosition ? " entry " : "", problem.line, problem.reason);
}

std::string moreProblems(std::string_view list, std::size_t more)
{
    return fmt::format("{}: and {} more problem(s).", list, more);
}

std::string hexColumn(ByteView bytes, int length)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * std::max<std::size_t>(bytes.size(), std::size_t(std::max(length, 0))));
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    for (auto k = std::int64_t(bytes.size()); k < length; ++k)
        text += "--";
    return text;
}

std::string leadingText(const Row &row)
{
    if (!row.table->hasLeadingByte)
        return "-";
    if (!row.leadingByte)
        return hexColumn({}, 1);
    const std::uint8_t byte = *row.leadingByte;
    return hexColumn(ByteView(&byte, 1), 1);
}

const NameTable *tableNamed(std::string_view word)
{
    for (const NameTable &table : NameTables::All)
        if (word == table.name)
            return &table;
    return nullptr;
}

std::string entryLabel(const NameTable &table, int index)
{
    return fmt::format("{} {}", table.name, index);
}

int parseIndex(const NameTable &table, std::string_view text)
{
    // Digits only: no signs and no surrounding blanks.
    if (text.empty() || text.size() > 9)
        return -1;
    int index = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        index = index * 10 + (c - '0');
    }
    return index < table.entries ? index : -1;
}

std::string refusal(const Image &rom, const NameTable &table, int index, std::string_view name, bool allowBlanks,
                    std::string_view uncodedHint)
{
    const NameText::Encoded encoded = NameText::encode(name);
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

std::string_view withoutTrailingBlanks(std::string_view name)
{
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] == ' ')
        --end;
    return name.substr(0, end);
}

bool sameName(std::string_view a, std::string_view b)
{
    return withoutTrailingBlanks(a) == withoutTrailingBlanks(b);
}

std::string Request::place(int line) const
{
    return placeOf(byPosition, line);
}

void Collector::refuse(int line, std::string reason)
{
    if (m_request.problems.size() < ProblemsKept)
        m_request.problems.push_back({line, std::move(reason)});
    else
        ++m_request.moreProblems;
}

void Collector::add(int line, std::string_view category, std::string_view indexText, std::string name)
{
    const NameTable *table = tableNamed(category);
    if (!table) {
        refuse(line, fmt::format("Unknown category \"{}\"; it must be characters, monsters, magic or items.",
                                 category));
        return;
    }
    const int index = parseIndex(*table, indexText);
    if (index < 0) {
        refuse(line, fmt::format("Index \"{}\" is not a {} index (0 to {}).", indexText, table->name,
                                 table->entries - 1));
        return;
    }
    const auto [earlier, first] = m_seen.emplace(std::pair(table, index), line);
    if (!first) {
        refuse(line, fmt::format("{} is already given {} {}.", entryLabel(*table, index),
                                 m_request.byPosition ? "at" : "on", m_request.place(earlier->second)));
        return;
    }
    // An empty cell is a name not yet given, as an empty msgstr is.
    if (name.empty()) {
        ++m_request.empty;
        return;
    }
    m_request.entries.push_back({line, table, index, std::move(name)});
}

namespace {

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

Plan check(const Image &rom, const Request &request, bool allowBlanks)
{
    Plan plan;
    plan.problems = request.problems;
    plan.byPosition = request.byPosition;
    for (const Entry &entry : request.entries) {
        const NameTable &table = *entry.table;
        const std::int32_t offset = NameTables::nameOffset(table, entry.index);
        const Bytes current = rom.read(offset, table.nameLength);
        const std::string_view name = withoutTrailingBlanks(entry.name);
        const NameText::Encoded encoded = NameText::encode(name);
        const bool fits = std::int64_t(encoded.bytes.size()) <= table.nameLength;
        Bytes after = NameText::toField(name, table.nameLength);
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
        const std::string reason = refusal(rom, table, entry.index, name, allowBlanks, request.uncodedHint);
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

Plan check(const Image &rom, std::string_view text, bool allowBlanks)
{
    return check(rom, Text::read(text), allowBlanks);
}

void write(Image &rom, const Edit &edit)
{
    rom.writeField(NameTables::nameOffset(*edit.table, edit.index), edit.after);
}

Outcome apply(Image &rom, const Plan &plan, const std::function<bool()> &stop)
{
    if (!plan.problems.empty())
        throw RomError("The list has bad lines; nothing was written.");
    Outcome outcome;
    for (const Edit &edit : plan.changes) {
        if (stop && stop())
            break;
        try {
            write(rom, edit);
        } catch (const RomError &e) {
            outcome.failure = e;
            outcome.partly = e.mayHaveChanged();
            break;
        }
        ++outcome.written;
    }
    if (outcome.written > 0 || outcome.partly) {
        try {
            rom.sync();
        } catch (const RomError &e) {
            outcome.syncFailure = e;
        }
    }
    return outcome;
}

} // namespace NameList
