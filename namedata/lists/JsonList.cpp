#include "JsonList.h"

#include "JsonText.h"

#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include <algorithm>
#include <regex>
#include <utility>

namespace NameList::Json {
namespace {

using nlohmann::json;

// The members of an object as written: each key, decoded, and its value's text.
using Members = std::vector<std::pair<std::string, std::string>>;

// Where the string that opens at text[at] closes.
std::size_t stringEnd(std::string_view text, std::size_t at)
{
    for (++at; at < text.size() && text[at] != '"'; ++at)
        if (text[at] == '\\')
            ++at;
    return at;
}

std::string_view trimmedAscii(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

// The members of each object in the top-level array of a document that the
// parser has accepted, by position; what a parsed object hides: keys given
// twice and numbers as they are written.
std::vector<Members> membersOf(std::string_view text)
{
    std::vector<Members> objects;
    int depth = 0;
    bool inObject = false, expectKey = false;
    std::size_t valueStart = std::string_view::npos;
    std::string key;
    const auto endValue = [&](std::size_t at) {
        if (valueStart != std::string_view::npos)
            objects.back().emplace_back(key, trimmedAscii(text.substr(valueStart, at - valueStart)));
        valueStart = std::string_view::npos;
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            const std::size_t end = stringEnd(text, at);
            if (inObject && depth == 2 && expectKey) {
                key = json::parse(text.substr(at, end - at + 1)).get<std::string>();
                expectKey = false;
            }
            at = end;
        } else if (c == '[' || c == '{') {
            if (++depth == 1)
                objects.emplace_back();
            if (depth == 2)
                inObject = expectKey = c == '{';
        } else if (c == ']' || c == '}') {
            if (depth-- == 2 && inObject)
                endValue(at);
        } else if (depth == 1 && c == ',') {
            objects.emplace_back();
        } else if (inObject && depth == 2 && c == ':') {
            valueStart = at + 1;
        } else if (inObject && depth == 2 && c == ',') {
            endValue(at);
            expectKey = true;
        }
    }
    return objects;
}

} // namespace

std::string write(const std::vector<Row> &rows)
{
    json array = json::array();
    for (const Row &row : rows) {
        array.push_back({
            {"category", row.table->name},
            {"index", row.index},
            {"leadingByte", row.table->hasLeadingByte ? json(leadingText(row)) : json()},
            {"name", row.name},
            {"bytes", hexColumn(row.field, row.table->nameLength)},
        });
    }
    return JsonText::indented(array);
}

Request read(std::string_view text)
{
    Request request;
    request.byPosition = true;
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error &e) {
        request.unreadable = fmt::format("not valid JSON: {} at byte {}", JsonText::reason(e), e.byte);
        return request;
    } catch (const json::exception &e) {
        // A number too large for any type, say.
        request.unreadable = "not valid JSON: " + JsonText::reason(e);
        return request;
    }
    if (!document.is_array()) {
        request.unreadable = fmt::format("the JSON is {} {}, where a list of names is an array of objects, one "
                                         "per name, as dump --json writes it",
                                         document.is_object() ? "an" : "a", document.type_name());
        return request;
    }
    const std::vector<Members> written = membersOf(text);
    // Digits, and at most a fraction of zeros: a whole number as written.
    static const std::regex whole("^([0-9]+)(\\.0+)?$");
    Collector collector(request);
    for (std::size_t n = 0; n < document.size(); ++n) {
        const int position = int(n + 1);
        const json &object = document[n];
        const auto member = [&](const char *key) {
            const auto found = object.is_object() ? object.find(key) : object.end();
            return found == object.end() ? json() : *found;
        };
        const json category = member("category"), index = member("index"), name = member("name");
        if (!object.is_object() || !category.is_string() || !index.is_number() || !name.is_string()) {
            collector.refuse(position, "Expected an object with a category, an index and a name.");
            continue;
        }
        std::vector<std::string> keys;
        std::string twice, indexText;
        for (const auto &[key, value] : written.at(n)) {
            if (twice.empty() && std::find(keys.begin(), keys.end(), key) != keys.end())
                twice = key;
            keys.push_back(key);
            if (key == "index")
                indexText = value;
        }
        if (!twice.empty()) {
            collector.refuse(position, fmt::format("The key \"{}\" is given twice.", twice));
            continue;
        }
        std::smatch number;
        const bool isWhole = std::regex_match(indexText, number, whole);
        collector.add(position, category.get<std::string>(), isWhole ? number[1].str() : indexText,
                      name.get<std::string>());
    }
    return request;
}

} // namespace NameList::Json
