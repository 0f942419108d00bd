#pragma once

#include <optional>
#include <string>
#include <string_view>

// The charsets a PO file is read in: what its header declares, and the text
// of its strings as UTF-8. Every one of them keeps ASCII as it is, so a file
// is lexed byte by byte before its strings are turned into UTF-8.
namespace NameList::Po {

enum class Charset { Utf8, Latin1, Latin9, Windows1252 };

// The charset the header's Content-Type field names, as gettext finds it:
// the field's line, then "charset=" and the characters of a name; "" where
// the header names none.
std::string declaredCharset(std::string_view header);

// The charset of that name, in any of its usual spellings and in either
// case, or none where it is not one of those read here. No name, or
// gettext's placeholder "CHARSET", is UTF-8, and so is ASCII, a part of it.
std::optional<Charset> charsetNamed(std::string_view name);

// The names of the charsets read, as a message lists them.
std::string_view charsetsRead();

// The bytes as UTF-8; false where a byte is no character of the charset
// (UTF-8 itself is only checked).
bool toUtf8(Charset charset, std::string_view bytes, std::string &text);

} // namespace NameList::Po
