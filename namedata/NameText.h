#pragma once

#include "Bytes.h"
#include "CharTable.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Names as the command and the page write and read them: text that names
// every byte of a field, so a name taken from a dump and given back writes
// the very bytes it came from. It differs from the editor's text in two ways:
// - the ellipsis code 0xD1 is the single character "…" (U+2026), so three
//   full stops stay three full stops (0xC5 each);
// - a byte whose table entry is empty is written <$XX>, two upper-case hex
//   digits. On input any byte may be written so, in either case.
// No text of a table is "<", so the notation never clashes with a name.
// Every function reads the bytes through a table, the game's unless given.
namespace NameText {

// What one byte shows as: its table entry with the ellipsis as "…", or an
// empty text where the table has none.
std::string character(std::uint8_t byte, const CharTable &table = CharTable::game());

// Every byte of the field, each as its text or as <$XX>. Where the table has
// texts of more than one character, a byte whose text would be read back as
// part of a longer one ("t" before "h" where "th" has a code) is <$XX> too,
// so the text always stands for the very bytes it came from.
std::string fromField(ByteView field, const CharTable &table = CharTable::game());

struct Encoded {
    Bytes bytes;                       // one per position the text takes, uncoded ones as the blank
    std::vector<std::string> uncoded;  // the distinct characters without a code, as messages show them
};

// The bytes a text stands for: at each place a <$XX>, else the code of the
// longest text there that has one. A character without a code takes a
// position and becomes the blank 0xFF, as the editor's Save makes it; one
// outside the 16-bit range takes two.
Encoded encode(std::string_view text, const CharTable &table = CharTable::game());

// The field's bytes once the text is written into it: its bytes, then blanks
// up to the length. The caller makes sure the text fits.
Bytes toField(std::string_view text, int length, const CharTable &table = CharTable::game());

} // namespace NameText
