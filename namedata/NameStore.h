#pragma once

#include "Bytes.h"
#include "NameTables.h"

#include <string>
#include <string_view>

class Image;

// The name of entry index of the table, decoded from the image; a field past
// the end of the image reads as nothing.
std::string readName(const Image &rom, const NameTables::NameTable &table, int index);

// What saving a name does to its entry: the field blanked, then the name
// written over it, so characters without a code end up as blanks. The final
// bytes are made in memory and the field is written whole with one write, so
// a kill or a failing disk leaves it wholly old or wholly new. A name longer
// than the field, or a field not wholly inside the image, is refused with
// RomError before anything is written. The caller syncs. Returns the name as
// the field now decodes: blanks kept, characters without a code as blanks.
std::string storeName(Image &rom, const NameTables::NameTable &table, int index, std::string_view name);

// The bytes a save of the name leaves in a field that holds current.
Bytes savedField(ByteView current, std::string_view name);
