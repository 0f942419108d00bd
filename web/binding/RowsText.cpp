#include "RowsText.h"

#include <fmt/format.h>

#include <cstdint>
#include <string_view>

namespace {

// Text as a JSON string: quotes, backslashes and control characters escaped.
void appendJson(std::string &out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\')
            (out += '\\') += c;
        else if (std::uint8_t(c) < 0x20)
            out += fmt::format("\\u{:04x}", int(c));
        else
            out += c;
    }
    out += '"';
}

} // namespace

std::string rowsText(const std::vector<std::vector<Session::Row>> &tables)
{
    std::string out = "[";
    for (const std::vector<Session::Row> &table : tables) {
        if (out.size() > 1)
            out += ',';
        out += '[';
        for (std::size_t k = 0; k < table.size(); ++k) {
            const Session::Row &row = table[k];
            out += fmt::format("{}{{\"index\":{},\"leading\":", k ? "," : "", row.index);
            appendJson(out, row.leading);
            out += ",\"name\":";
            appendJson(out, row.name);
            out += fmt::format(",\"used\":{},\"length\":{},\"hex\":", row.used, row.length);
            appendJson(out, row.hex);
            out += row.changed ? ",\"changed\":true}" : ",\"changed\":false}";
        }
        out += ']';
    }
    return out + ']';
}
