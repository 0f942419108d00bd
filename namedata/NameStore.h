#pragma once

#include "NameTables.h"

#include <QByteArray>
#include <QString>

class RomFile;

// The name of entry index of the table, decoded from the image; a field past
// the end of the file reads as nothing.
QString readName(const RomFile &rom, const NameTables::NameTable &table, int index);

// What saving a name does to its entry: the field blanked, then the name
// written over it, so characters without a code end up as blanks. The final
// bytes are made in memory and the field is written whole with one write, so
// a kill or a failing disk leaves it wholly old or wholly new. A name longer
// than the field, or a field not wholly inside the file, is refused with
// RomError before anything is written. The caller syncs. Returns the name as
// the field now decodes: blanks kept, characters without a code as blanks.
QString storeName(RomFile &rom, const NameTables::NameTable &table, int index, const QString &name);

// The bytes a save of the name leaves in a field that holds current.
QByteArray savedField(const QByteArray &current, const QString &name);
