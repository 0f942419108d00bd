// libFuzzer target: the reader of name lists, lines or JSON, on any bytes. It
// must never crash, and what it accepts must name real entries, once each, in
// order.
#include "NameList.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const NameList::Request request = NameList::parseAny(bytes);
    // A JSON list counts its entries instead of lines, never more than its bytes.
    const int lines = request.byPosition ? int(size) : int(bytes.count('\n')) + 1;
    if (!request.unreadable.isEmpty() && (!request.byPosition || !request.entries.empty()))
        std::abort();
    std::set<std::pair<const NameTables::NameTable *, int>> seen;
    int previous = 0;
    for (const NameList::Entry &entry : request.entries) {
        if (entry.index < 0 || entry.index >= entry.table->entries || entry.line <= previous
            || entry.line > lines || !seen.emplace(entry.table, entry.index).second
            || (!request.byPosition && (entry.name.contains(u'\t') || entry.name.contains(u'\n'))))
            std::abort();
        previous = entry.line;
    }
    for (const NameList::Problem &problem : request.problems)
        if (problem.line < 1 || problem.line > lines || problem.reason.isEmpty())
            std::abort();
    return 0;
}
