// What a list asks for, as its reader finds the entries.
#include "NameList.h"
#include "HexDigit.h"
#include "NameDecision.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <utility>

namespace NameList {

using NameTables::NameTable;

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

namespace {

// The field's bytes from their hex as dump writes them. None where the text
// is empty or marks bytes past the end of the image ("--"), which no field
// that can be written held; false where it is anything else.
bool baseFrom(std::string_view hex, int length, std::optional<Bytes> &base)
{
    base.reset();
    hex = Utf8::trimmed(hex);
    if (hex.empty())
        return true;
    if (hex.size() != std::size_t(length) * 2)
        return false;
    Bytes bytes;
    bool past = false;
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        if (hex.substr(at, 2) == "--") {
            past = true;
            continue;
        }
        unsigned value = 0;
        for (const char c : hex.substr(at, 2)) {
            const int digit = hexDigit(c);
            if (digit < 0 || past)
                return false;
            value = value * 16 + unsigned(digit);
        }
        bytes.push_back(std::uint8_t(value));
    }
    if (!past)
        base = std::move(bytes);
    return true;
}

} // namespace

void Collector::add(int line, std::string_view category, std::string_view indexText, std::string name,
                    std::string_view baseHex)
{
    const NameTable *table = tableNamed(category);
    if (!table) {
        refuse(line, fmt::format("Unknown category \"{}\"; it must be characters, monsters, magic or items.",
                                 category));
        return;
    }
    const int index = parseIndex(*table, indexText);
    if (index < 0) {
        refuse(line, fmt::format("Index \"{}\" is not an entry of {} (0 to {}).", indexText, table->name,
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
    // A bytes column a spreadsheet or a hand changed could make a name look
    // unchanged since the list was made, or a conflict, when it is neither:
    // the list is refused rather than read without its base.
    std::optional<Bytes> base;
    if (!baseFrom(baseHex, table->nameLength, base)) {
        refuse(line, fmt::format("{}: the bytes \"{}\" are not the field's {} bytes in hex, as dump writes what "
                                 "the field held; give them as the list was made, or empty them to write the "
                                 "name whatever the field holds.",
                                 entryLabel(*table, index), baseHex, table->nameLength));
        return;
    }
    m_request.entries.push_back({line, table, index, std::move(name), std::move(base)});
}

} // namespace NameList
