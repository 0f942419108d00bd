#pragma once

#include <QString>

#include <array>
#include <cstdint>

class RomFile;

// The game's one-byte character table and the name codec. A name field is a
// fixed run of bytes in the image; every byte stands for nothing, one
// character, or (0xD1 alone) three full stops, and 0xFF is the blank.
namespace GetText {

// Holds the table only while ReadName or WriteName runs; empty in between.
extern std::array<QString, 256> CharTable;

void BuildCharTable();

// Decodes every byte of the field; nothing is trimmed.
QString ReadName(const RomFile &rom, std::int32_t offset, std::int16_t length);

// Refuses, with RomError, a text that needs more bytes than the field holds.
void RequireFits(const QString &text, std::int16_t length);

// Pads the text with blanks to the field's length and writes the code of each
// character at its position; a character without a code leaves its byte as it
// was. A text longer than the field, or a field not wholly inside the file, is
// refused with RomError before any byte is written.
void WriteName(RomFile &rom, std::int32_t offset, const QString &text, std::int16_t length);

} // namespace GetText
