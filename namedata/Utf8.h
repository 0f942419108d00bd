#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names and lists cross the core as UTF-8. A position in a name is a UTF-16
// unit, as the editor's text box counts it: a character past U+FFFF takes two.
namespace Utf8 {

// The length of the well-formed sequence at text[at] (no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 where none starts there.
std::size_t sequenceLength(std::string_view text, std::size_t at);

bool isValid(std::string_view text);
// The first line, counted from 1, that is not well-formed, or 0.
int firstBadLine(std::string_view text);

// Lines of a list end in LF, CRLF or CR alone, as the systems and
// spreadsheets that save them write them.
// How many bytes the line break at text[at] takes: 2 for CRLF, 1 for LF or
// CR alone, 0 where none starts there.
std::size_t lineBreak(std::string_view text, std::size_t at);
// Where the line that holds text[from] ends: its line break, or the end.
std::size_t lineEnd(std::string_view text, std::size_t from);
// UTF-16 with its byte-order mark (FF FE or FE FF) as UTF-8; false, with the
// first bad line, where the units are not well-formed.
bool fromUtf16(std::string_view bytes, std::string &text, int &badLine);

// The character at text[at], moving at past it; a byte that starts no
// well-formed sequence is taken alone, as U+FFFD.
char32_t next(std::string_view text, std::size_t &at);

void append(std::string &text, char32_t c);

// The text with every byte that starts no well-formed sequence as U+FFFD.
std::string repaired(std::string_view text);

// How many UTF-16 units the text takes.
std::size_t units(std::string_view text);

// One character per byte, as Latin-1 reads it.
std::string fromLatin1(std::string_view bytes);

// The text as messages, and the lists that name a file, show it: the
// characters of its UTF-8, each other byte as \xHH, and the backslash and
// every character that acts on a terminal or on the order of the text
// (controls, C1 controls, bidirectional overrides and isolates) escaped,
// each of its bytes as \xHH.
std::string shown(std::string_view text);

// Blanks as the editor's toolkit counts them: the ASCII ones, U+0085, U+00A0
// and Unicode's space separators.
bool isSpace(char32_t c);
std::string_view trimmed(std::string_view text);

// Whether the text is the word, or ends with the ending, ASCII letters in
// either case; the word and the ending are given in lower case.
bool sameWord(std::string_view text, std::string_view word);
bool endsWithWord(std::string_view text, std::string_view ending);

} // namespace Utf8
