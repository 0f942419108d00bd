#include "NameDecision.h"

#include "Image.h"

#include <fmt/format.h>

namespace NameList {

Decision decide(const Image &rom, const NameTables::NameTable &table, int index, std::string_view name,
                bool allowBlanks, std::string_view uncodedHint, const CharTable &characters)
{
    Request request;
    request.earlierText = false;
    request.uncodedHint = std::string(uncodedHint);
    request.characters = &characters;
    request.entries.push_back({1, &table, index, std::string(name), std::nullopt});
    Plan plan = check(rom, request, allowBlanks);
    Decision decision;
    if (!plan.problems.empty()) {
        decision.refusal = refusal(rom, table, index, withoutTrailingBlanks(name), allowBlanks, uncodedHint,
                                   characters);
        decision.after = rom.read(NameTables::nameOffset(table, index), table.nameLength);
        return decision;
    }
    if (!plan.changes.empty()) {
        decision.change = std::move(plan.changes.front());
        decision.after = decision.change->after;
    } else {
        decision.after = rom.read(NameTables::nameOffset(table, index), table.nameLength);
    }
    return decision;
}

std::vector<std::string> requestNotes(const Request &request)
{
    std::vector<std::string> notes;
    if (request.fuzzy > 0)
        notes.push_back(fmt::format("{} fuzzy entr(ies) left out, as not yet translated.", request.fuzzy));
    if (request.empty > 0)
        notes.push_back(fmt::format("{} entr(ies) with an empty name left alone.", request.empty));
    return notes;
}

std::vector<std::string> planNotes(const Plan &plan)
{
    std::vector<std::string> notes;
    if (plan.unchangedSinceMade > 0)
        notes.push_back(fmt::format("{} name(s) unchanged since the list was made, left as the image holds them.",
                                    plan.unchangedSinceMade));
    if (plan.otherCategories > 0)
        notes.push_back(fmt::format("{} name(s) outside the categories chosen, left out.", plan.otherCategories));
    return notes;
}

std::string placeOf(bool byPosition, int line)
{
    return fmt::format("{} {}", byPosition ? "entry" : "line", line);
}

} // namespace NameList
