// Every name of an image as rows, and what the readers, the checks and the
// front ends share: the columns as dump prints them, the tables by their
// words, and how problems are reported.
#include "NameList.h"

#include "Image.h"
#include "NameText.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace NameList {

using NameTables::NameTable;

std::vector<Row> dump(const Image &rom, const CharTable &characters)
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
            row.name = NameText::fromField(row.field, characters);
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

Row dumpEntry(const Image &rom, const NameTable &table, int index, const CharTable &characters)
{
    // read() gives fewer bytes, or none, where the image ends.
    const std::int32_t offset = NameTables::nameOffset(table, index);
    Row row{&table, index, std::nullopt, {}, rom.read(offset, table.nameLength), offset + rom.offsetShift()};
    row.name = NameText::fromField(row.field, characters);
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

} // namespace NameList
