// What a list asks for, as its reader finds the entries.
#include "NameList.h"
#include "NameDecision.h"

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

// The field's bytes from their hex, or none where the text is not every one
// of them (empty, "--" past the end of the image, or not hex at all).
std::optional<Bytes> baseFrom(std::string_view hex, int length)
{
    if (hex.size() != std::size_t(length) * 2)
        return std::nullopt;
    Bytes bytes;
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        unsigned value = 0;
        for (const char c : hex.substr(at, 2)) {
            const int digit = c >= '0' && c <= '9' ? c - '0'
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                   : -1;
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + unsigned(digit);
        }
        bytes.push_back(std::uint8_t(value));
    }
    return bytes;
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
    m_request.entries.push_back({line, table, index, std::move(name), baseFrom(baseHex, table->nameLength)});
}

} // namespace NameList
