#pragma once

#include "Bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class Image;

// The game's one-byte character table and the name codec. A name field is a
// fixed run of bytes in the image; every byte stands for nothing, one
// character, or (0xD1 alone) three full stops, and 0xFF is the blank. Texts
// are UTF-8; a position in a text is a UTF-16 unit, as the editor counts.
namespace GetText {

// Holds the table only while a decode runs; empty in between, so nothing
// can come to depend on it outside the codec.
extern std::array<std::string_view, 256> CharTable;

void BuildCharTable();

// Decodes every byte of the field; nothing is trimmed.
std::string DecodeName(ByteView field);

// The byte that stands for the character alone, or -1 where there is none.
int CodeFor(char32_t c);

// The field's bytes once the text is written over them: the text padded with
// blanks to the field's length, each character's code at its position, and
// a character without a code leaving the byte that was there. The caller
// makes sure the text fits.
Bytes EncodeName(ByteView field, std::string_view text);

// Reads the field with one read and decodes it; bytes past the end of the
// image read as 0, which decodes to nothing.
std::string ReadName(const Image &rom, std::int32_t offset, std::int16_t length);

// Refuses, with RomError, a text that needs more bytes than the field holds.
void RequireFits(std::string_view text, std::int16_t length);

// Encodes the text over the field and writes the whole field with one write.
// A text longer than the field, or a field not wholly inside the image, is
// refused with RomError before anything is written.
void WriteName(Image &rom, std::int32_t offset, std::string_view text, std::int16_t length);

} // namespace GetText
