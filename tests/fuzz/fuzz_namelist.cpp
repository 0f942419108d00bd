// libFuzzer target: the readers of name lists (lines, CSV, JSON) as apply
// tells them apart, on any bytes. They must never crash, and what they accept
// must name real entries, once each, in order. PO files are left out: gettext
// parses them, and each read costs a file in memory, thirty times the cost of
// another list.
#include "lists/ListFile.h"
#include "lists/PoList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

namespace {

// places: how many lines (or, for entries counted by position, bytes) the
// list has, which no place named may pass.
void requireSound(const NameList::Request &request, int places)
{
    if (!request.unreadable.empty() && !request.entries.empty())
        std::abort();
    std::set<std::pair<const NameTables::NameTable *, int>> seen;
    int previous = 0;
    for (const NameList::Entry &entry : request.entries) {
        if (entry.index < 0 || entry.index >= entry.table->entries || entry.line <= previous
            || entry.line > places || !seen.emplace(entry.table, entry.index).second)
            std::abort();
        previous = entry.line;
    }
    for (const NameList::Problem &problem : request.problems)
        if (problem.line < 1 || problem.line > places || problem.reason.empty())
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (NameList::Po::looksLikePo(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes))
        return 0;
    const int lines = int(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    const NameList::Request any = NameList::read(bytes, {});
    requireSound(any, any.byPosition ? int(size) : lines);
    return 0;
}
