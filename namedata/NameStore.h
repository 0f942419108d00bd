#pragma once

#include "NameTables.h"

#include <QString>

class RomFile;

// What saving a name does to its entry: the field blanked, then the name
// written over it, so characters without a code end up as blanks. A name
// longer than the field, or a field not wholly inside the file, is refused
// with RomError before the first byte is written, so a field is never left
// blank without its name. The caller syncs.
void storeName(RomFile &rom, const NameTables::NameTable &table, int index, const QString &name);
