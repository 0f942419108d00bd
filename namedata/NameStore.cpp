#include "NameStore.h"

#include "GetText.h"
#include "RomFile.h"

QByteArray savedField(const QByteArray &current, const QString &name)
{
    const QByteArray blanked = GetText::EncodeName(current, QString(current.size(), u' '));
    return GetText::EncodeName(blanked, name);
}

void storeName(RomFile &rom, const NameTables::NameTable &table, int index, const QString &name)
{
    const std::int32_t offset = NameTables::nameOffset(table, index);
    const auto length = std::int16_t(table.nameLength);
    GetText::RequireFits(name, length);
    rom.requireInside(offset, length);
    rom.writeField(offset, savedField(rom.read(offset, length), name));
}
