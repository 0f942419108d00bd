#pragma once

#include "NameTables.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class RomFile;

// Every name of an image as lines of text, and those lines back into the image.
// A line is tab-separated: category, index, leading byte in hex (or - where the
// table has none), the name as the editor shows it, the field's bytes in hex.
namespace NameList {

struct Row {
    const NameTables::NameTable *table;
    int index;
    int leadingByte;   // -1 where the table has none
    QString name;      // blanks kept, trailing ones too
    QByteArray field;  // the name field's raw bytes
};

// All four tables in table order.
std::vector<Row> dump(const RomFile &rom);
// One line without its line break.
QString formatLine(const Row &row);
QByteArray toJson(const std::vector<Row> &rows);

// The table for a category word ("characters", ...), or nullptr.
const NameTables::NameTable *tableNamed(const QString &word);
// "items 3", as messages name an entry.
QString entryLabel(const NameTables::NameTable &table, int index);
// A plain decimal index inside the table, or -1.
int parseIndex(const NameTables::NameTable &table, const QString &text);

// The distinct characters of the name that have no code, each shown as itself
// in quotes or, when it would not show, as U+XXXX.
QStringList uncodedCharacters(const QString &name);

// Why the name cannot be written to the entry, or an empty string when it can:
// longer than the field, characters without a code (unless allowBlanks), or a
// field that does not lie wholly inside the file.
QString refusal(const RomFile &rom, const NameTables::NameTable &table, int index,
                const QString &name, bool allowBlanks);

struct Edit {
    const NameTables::NameTable *table;
    int index;
    QString name;
};

struct Problem {
    int line;  // counted from 1
    QString reason;
};

struct Plan {
    std::vector<Edit> changes;      // only names that differ from the image
    std::vector<Problem> problems;  // every bad line; nothing may be written while any
};

// Checks every line of a dump against the image. Blank lines are skipped; a
// line must have the first four columns, the fifth is optional and ignored,
// as is the leading byte. A name equal to the image's is left alone even when
// it could not be written back (a decoded name can be longer than its field).
Plan check(const RomFile &rom, const QString &text, bool allowBlanks);

// Writes the changes of a plan without problems and syncs once. A write that
// fails throws RomError naming the entry and how many names went in before it.
void apply(RomFile &rom, const Plan &plan);

} // namespace NameList
