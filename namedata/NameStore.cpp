#include "NameStore.h"

#include "GetText.h"
#include "RomFile.h"

QByteArray savedField(const QByteArray &current, const QString &name)
{
    const QByteArray blanked = GetText::EncodeName(current, QString(current.size(), u' '));
    return GetText::EncodeName(blanked, name);
}

QString readName(const RomFile &rom, const NameTables::NameTable &table, int index)
{
    return GetText::ReadName(rom, NameTables::nameOffset(table, index), table.nameLength);
}

QString storeName(RomFile &rom, const NameTables::NameTable &table, int index, const QString &name)
{
    const std::int32_t offset = NameTables::nameOffset(table, index);
    GetText::RequireFits(name, table.nameLength);
    rom.requireInside(offset, table.nameLength);
    const QByteArray field = savedField(rom.readField(offset, table.nameLength), name);
    rom.writeField(offset, field);
    return GetText::DecodeName(field);
}
