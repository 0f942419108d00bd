// libFuzzer target: the reader of name lists, on any bytes. It must never
// crash, and what it accepts must name real entries, once each, in order.
#include "NameList.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const NameList::Request request = NameList::parse(text);
    const int lines = int(text.count(u'\n')) + 1;
    std::set<std::pair<const NameTables::NameTable *, int>> seen;
    int previous = 0;
    for (const NameList::Entry &entry : request.entries) {
        if (entry.index < 0 || entry.index >= entry.table->entries || entry.line <= previous
            || entry.line > lines || !seen.emplace(entry.table, entry.index).second
            || entry.name.contains(u'\t') || entry.name.contains(u'\n'))
            std::abort();
        previous = entry.line;
    }
    for (const NameList::Problem &problem : request.problems)
        if (problem.line < 1 || problem.line > lines || problem.reason.isEmpty())
            std::abort();
    return 0;
}
