// libFuzzer target: the readers of name lists (lines, CSV, JSON) as apply
// tells them apart, on any bytes. They must never crash, and what they accept
// must name real entries, once each, in order. Of PO files only the places
// they are read in pieces from are looked at; the files are left out: gettext
// parses them, and each read costs a file in memory, thirty times the cost of
// another list.
#include "Utf8.h"
#include "lists/ListFile.h"
#include "lists/PoChunks.h"
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
    // The places a PO file is cut at start entries, in order, inside it.
    const std::vector<std::size_t> pieces = NameList::Po::pieces(bytes, 64);
    for (std::size_t k = 1; k < pieces.size(); ++k)
        if (pieces[k] < pieces[k - 1] + 64 || pieces[k] >= size)
            std::abort();
    if (NameList::Po::looksLikePo(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes))
        return 0;
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
