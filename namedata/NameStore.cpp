#include "NameStore.h"

#include "GetText.h"
#include "RomFile.h"

void storeName(RomFile &rom, const NameTables::NameTable &table, int index, const QString &name)
{
    const std::int32_t offset = NameTables::nameOffset(table, index);
    const auto length = std::int16_t(table.nameLength);
    GetText::RequireFits(name, length);
    rom.requireInside(offset, length);
    GetText::WriteName(rom, offset, QString(length, u' '), length);
    GetText::WriteName(rom, offset, name, length);
}
