#pragma once

#include <nlohmann/json.hpp>

#include <string>

// JSON as the command prints it and reads it.
namespace JsonText {

// Indented by four blanks, keys in order, text as UTF-8, one line break at
// the end; an empty array or object still opens and closes on lines of its own.
std::string indented(const nlohmann::json &value);

// The parser's reason for refusing a text, without its own numbering.
std::string reason(const nlohmann::json::exception &error);

} // namespace JsonText
