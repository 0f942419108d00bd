#include "ListFile.h"

#include "CsvList.h"
#include "JsonList.h"
#include "PoList.h"
#include "TextList.h"
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
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (!each(text.substr(start, end - start)))
            return;
        start = end + 1;
    }
}

// The first line that is not UTF-8, counted from 1, or 0.
int lineNotUtf8(std::string_view bytes)
{
    int number = 0, bad = 0;
    forEachLine(bytes, [&](std::string_view line) {
        ++number;
        if (!Utf8::isValid(line))
            bad = number;
        return bad == 0;
    });
    return bad;
}

// Whether the first line that is not blank or a comment looks like CSV.
bool looksLikeCsv(std::string_view text)
{
    bool csv = false;
    forEachLine(text, [&](std::string_view line) {
        if (Utf8::trimmed(line).empty() || line.starts_with('#'))
            return true;
        csv = line.find('\t') == std::string_view::npos
           && (line.find(',') != std::string_view::npos || line.find(';') != std::string_view::npos);
        return false;
    });
    return csv;
}

bool endsWith(std::string_view path, std::string_view ending)
{
    return path.size() >= ending.size()
        && std::equal(ending.begin(), ending.end(), path.end() - std::ptrdiff_t(ending.size()), [](char e, char p) {
               return e == (p >= 'A' && p <= 'Z' ? char(p - 'A' + 'a') : p);
           });
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
    const std::string_view data = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    if (data.find('\0') != std::string_view::npos)
        return unreadable("holds NUL bytes, so it is not a text list of names "
                          "(were IMAGE and FILE given the wrong way round?)");
    if (!Utf8::isValid(data))
        return unreadable(fmt::format("line {} is not UTF-8 text", lineNotUtf8(data)));

    if (endsWith(path, ".po") || endsWith(path, ".pot") || Po::looksLikePo(data))
        return Po::read(data);
    if (Utf8::trimmed(data).starts_with('['))
        return Json::read(data);
    if (endsWith(path, ".csv") || looksLikeCsv(data))
        return Csv::read(data);
    return Text::read(data);
}

} // namespace NameList
