#include "ListFile.h"

#include "Forms.h"
#include "PoList.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>

namespace NameList {
namespace {

// Calls each(line) for every line, the last one included even when empty.
template <typename Each>
void forEachLine(std::string_view text, Each each)
{
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = Utf8::lineEnd(text, start);
        if (!each(text.substr(start, end - start)))
            return;
        start = end + std::max<std::size_t>(Utf8::lineBreak(text, end), 1);
    }
}

Request unreadable(std::string why)
{
    Request request;
    request.unreadable = std::move(why);
    return request;
}

} // namespace

bool Po::looksLikePo(std::string_view text)
{
    bool po = false;
    forEachLine(text, [&](std::string_view line) {
        line = Utf8::trimmed(line);
        if (line.empty() || line.starts_with('#'))
            return true;
        po = line.starts_with("msgctxt") || line.starts_with("msgid");
        return false;
    });
    return po;
}

Request read(std::string_view bytes, std::string_view path)
{
    // Spreadsheets and editors on Windows save "Unicode" text as UTF-16.
    std::string decoded;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        int badLine = 0;
        if (!Utf8::fromUtf16(bytes, decoded, badLine))
            return unreadable(fmt::format("starts as UTF-16 text, but line {} is not UTF-16", badLine));
        bytes = decoded;
    }
    const std::string_view data = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    if (data.find('\0') != std::string_view::npos)
        return unreadable("holds NUL bytes, so it is not a text list of names "
                          "(were IMAGE and FILE given the wrong way round?)");
    // A PO file says its own charset.
    if (const Form *form = formClaiming(path, data, true))
        return form->read(data);
    if (const int line = Utf8::firstBadLine(data); line > 0)
        return unreadable(fmt::format("line {} is not UTF-8 text (saved as Windows-1252, perhaps): save the list "
                                      "as UTF-8 (\"CSV UTF-8\" in a spreadsheet) or as UTF-16 (\"Unicode text\") "
                                      "and give it again",
                                      line));
    // Every text is claimed by JSON or by one of the forms of columns.
    const Form *form = formClaiming(path, data, false);
    return form ? form->read(data) : unreadable("is in no form of list");
}

} // namespace NameList
