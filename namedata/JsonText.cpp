#include "JsonText.h"

namespace JsonText {

std::string indented(const nlohmann::json &value)
{
    if (value.is_array() && value.empty())
        return "[\n]\n";
    if (value.is_object() && value.empty())
        return "{\n}\n";
    return value.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
}

std::string reason(const nlohmann::json::exception &error)
{
    // "[json.exception.parse_error.101] parse error at line 1, column 29:
    // syntax error while parsing value - invalid literal; last read: 'x'":
    // the part between the dash and the semicolon says what was wrong.
    std::string what = error.what();
    if (const std::size_t dash = what.find(" - "); dash != std::string::npos)
        what.erase(0, dash + 3);
    else if (const std::size_t colon = what.find(": "); colon != std::string::npos)
        what.erase(0, colon + 2);
    else if (const std::size_t id = what.find("] "); what.starts_with('[') && id != std::string::npos)
        what.erase(0, id + 2);  // "[json.exception.out_of_range.406] number overflow parsing '1e999'
    return what.substr(0, what.find("; "));
}

} // namespace JsonText
