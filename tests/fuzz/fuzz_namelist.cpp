// libFuzzer target: the readers of name lists (lines, CSV, JSON, PO) as
// apply tells them apart, on any bytes. They must never crash, and what they
// accept must name real entries, once each, in order.
#include "Utf8.h"
#include "lists/ListFile.h"
#include "lists/PoList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

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
    // A PO file's entries are named by position, as sound as any list's.
    if (NameList::Po::looksLikePo(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes)) {
        const NameList::Request po = NameList::read(bytes, "names.po");
        requireSound(po, int(size));
        return 0;
    }
    // Lines end in LF, CRLF or CR alone.
    int lines = 1;
    for (std::size_t at = 0; at < size;) {
        const std::size_t broken = Utf8::lineBreak(bytes, at);
        lines += broken > 0;
        at += std::max<std::size_t>(broken, 1);
    }
    const NameList::Request any = NameList::read(bytes, {});
    requireSound(any, any.byPosition ? int(size) : lines);
    return 0;
}
