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

} // namespace NameList
