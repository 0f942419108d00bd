#include "NameStore.h"

#include "GetText.h"
#include "Image.h"

Bytes savedField(ByteView current, std::string_view name)
{
    const Bytes blanked = GetText::EncodeName(current, std::string(current.size(), ' '));
    return GetText::EncodeName(blanked, name);
}

std::string readName(const Image &rom, const NameTables::NameTable &table, int index)
{
    return GetText::ReadName(rom, NameTables::nameOffset(table, index), table.nameLength);
}

std::string storeName(Image &rom, const NameTables::NameTable &table, int index, std::string_view name)
{
    const std::int32_t offset = NameTables::nameOffset(table, index);
    GetText::RequireFits(name, table.nameLength);
    rom.requireInside(offset, table.nameLength);
    const Bytes field = savedField(rom.readField(offset, table.nameLength), name);
    rom.writeField(offset, field);
    return GetText::DecodeName(field);
}
