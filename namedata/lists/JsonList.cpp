#include "JsonList.h"

#include "JsonText.h"

#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>

namespace NameList::Json {
namespace {

using nlohmann::json;

// Digits, and at most a fraction of zeros: a whole number as written. The
// digits before the point, or nothing where it is not whole.
std::optional<std::string_view> wholeDigits(std::string_view number)
{
    const std::size_t point = std::min(number.find('.'), number.size());
    const std::string_view digits = number.substr(0, point), fraction = number.substr(point);
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    if (!fraction.empty() && (fraction.size() < 2 || fraction.find_first_not_of('0', 1) != std::string_view::npos))
        return std::nullopt;
    return digits;
}

// A value's text in a message: a long one cut short.
std::string cut(std::string text)
{
    constexpr std::size_t Shown = 200;
    if (text.size() > Shown) {
        text.resize(Shown);
        text += "\u2026";
    }
    return text;
}

// Takes the document as the parser goes through it, an event at a time, so
// a list holds no more than one object's members at once however long it is:
// the objects of the top-level array become entries by their position, and
// what a parsed object would hide is seen: keys given twice, and numbers as
// written.
class Reader final : public nlohmann::json_sax<json> {
public:
    explicit Reader(Request &request) : m_collector(request) {}

    // The type of the top-level value, as the parser names it, when it is no array.
    const std::string &notArray() const { return m_notArray; }
    const std::string &error() const { return m_error; }

    bool null() override { return scalar("null"); }
    bool boolean(bool) override { return scalar("boolean"); }
    bool number_integer(number_integer_t value) override
    {
        // Only a minus sign makes a number signed here: "-0" stays itself.
        return number(value == 0 ? std::string("-0") : std::to_string(value));
    }
    bool number_unsigned(number_unsigned_t value) override { return number(std::to_string(value)); }
    bool number_float(number_float_t, const string_t &written) override { return number(written); }
    bool string(string_t &text) override
    {
        if (!member())
            return scalar("string");
        if (m_key == "category")
            m_category = std::move(text);
        else if (m_key == "name")
            m_name = std::move(text);
        else if (m_key == "bytes")
            m_bytes = std::move(text);
        else
            other();
        return true;
    }
    bool binary(binary_t &) override { return scalar("binary"); }
    bool start_object(std::size_t) override { return open("object"); }
    bool start_array(std::size_t) override { return open("array"); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t &key) override
    {
        if (m_depth == 2 && m_inObject) {
            if (m_twice.empty() && !m_keys.insert(key).second) {
                m_twice = key;
                m_keys.clear();
            }
            m_key = std::move(key);
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &e) override
    {
        // A number too large for any type, say, is no error of the syntax.
        m_error = dynamic_cast<const json::parse_error *>(&e)
                    ? fmt::format("{} at byte {}", JsonText::reason(e), position)
                    : cut(JsonText::reason(e));
        return false;
    }

private:
    // Whether the value now read is a member of an object of the array.
    bool member() const { return m_depth == 2 && m_inObject; }

    bool scalar(const char *type)
    {
        if (m_depth == 0)
            m_notArray = type;
        else if (m_depth == 1)
            m_collector.refuse(++m_position, Expected);
        else if (member())
            other();
        return true;
    }

    bool number(std::string written)
    {
        if (!member())
            return scalar("number");
        if (m_key == "index")
            m_index = std::move(written);
        else
            other();
        return true;
    }

    // A member's value of a type no key read here may have.
    void other()
    {
        if (m_key == "category")
            m_category.reset();
        else if (m_key == "index")
            m_index.reset();
        else if (m_key == "name")
            m_name.reset();
        else if (m_key == "bytes")
            m_bytes = "(not a string)";
    }

    bool open(const char *type)
    {
        if (m_depth == 0 && std::string_view(type) != "array")
            m_notArray = type;
        if (m_depth == 1) {
            ++m_position;
            m_inObject = std::string_view(type) == "object";
            m_category.reset();
            m_index.reset();
            m_name.reset();
            m_bytes.clear();
            m_keys.clear();
            m_twice.clear();
        } else if (member()) {
            other();
        }
        ++m_depth;
        return true;
    }

    bool close()
    {
        if (--m_depth == 1)
            take();
        return true;
    }

    void take()
    {
        if (!m_inObject || !m_category || !m_index || !m_name) {
            m_collector.refuse(m_position, Expected);
        } else if (!m_twice.empty()) {
            m_collector.refuse(m_position, fmt::format("The key \"{}\" is given twice.", m_twice));
        } else {
            const std::optional<std::string_view> digits = wholeDigits(*m_index);
            m_collector.add(m_position, *m_category, digits ? *digits : std::string_view(*m_index),
                            std::move(*m_name), m_bytes);
        }
        m_inObject = false;
        m_keys.clear();
    }

    static constexpr const char *Expected = "Expected an object with a category, an index and a name.";

    Collector m_collector;
    int m_depth = 0;
    int m_position = 0;
    bool m_inObject = false;
    std::string m_key, m_twice, m_notArray, m_error;
    std::unordered_set<std::string> m_keys;
    std::optional<std::string> m_category, m_index, m_name;
    std::string m_bytes;  // what the field held when the list was made, in hex; empty where not said
};

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
    Reader reader(request);
    if (!json::sax_parse(text, &reader)) {
        Request unreadable;
        unreadable.unreadable = "not valid JSON: " + reader.error();
        return unreadable;
    }
    if (!reader.notArray().empty()) {
        Request unreadable;
        const std::string &type = reader.notArray();
        unreadable.unreadable = fmt::format("the JSON is {} {}, where a list of names is an array of objects, "
                                            "one per name, as dump --json writes it",
                                            type == "object" || type == "array" ? "an" : "a", type);
        return unreadable;
    }
    return request;
}

} // namespace NameList::Json
