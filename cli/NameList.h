#pragma once

#include "NameTables.h"
#include "RomError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class RomFile;

// Every name of an image as lines of text, and those lines back into the image.
// A line is tab-separated: category, index, leading byte in hex (or - where the
// table has none), the name as the editor shows it, the field's bytes in hex.
// Bytes that lie past the end of a short file show as -- in both hex columns.
namespace NameList {

struct Row {
    const NameTables::NameTable *table;
    int index;
    std::optional<std::uint8_t> leadingByte;  // none where the table has none or the file ends
    QString name;                              // blanks kept, trailing ones too
    QByteArray field;                          // the bytes of the field the file holds
};

// All four tables in table order.
std::vector<Row> dump(const RomFile &rom);
// One line without its line break.
QString formatLine(const Row &row);
QByteArray toJson(const std::vector<Row> &rows);

// The table for a category word ("characters", ...), or nullptr.
const NameTables::NameTable *tableNamed(QStringView word);
// "items 3", as messages name an entry.
QString entryLabel(const NameTables::NameTable &table, int index);
// A plain decimal index inside the table, or -1.
int parseIndex(const NameTables::NameTable &table, QStringView text);

// The distinct characters of the name that have no code, each shown as itself
// in quotes or, when it would not show, as U+XXXX.
QStringList uncodedCharacters(const QString &name);

// Why the name cannot be written to the entry, or an empty string when it can:
// longer than the field, characters without a code (unless allowBlanks), or a
// field that does not lie wholly inside the file.
QString refusal(const RomFile &rom, const NameTables::NameTable &table, int index,
                const QString &name, bool allowBlanks);

// Two names that differ only in blanks at their ends name the same thing.
bool sameName(const QString &a, const QString &b);

struct Problem {
    int line;  // counted from 1
    QString reason;
};

struct Entry {
    int line;
    const NameTables::NameTable *table;
    int index;
    QString name;
};

// What a list asks for, before the image is looked at.
struct Request {
    std::vector<Entry> entries;
    std::vector<Problem> problems;
    bool byPosition = false;  // a JSON list: "lines" are the entries' positions, from 1
    QString unreadable;       // why the list as a whole could not be read, if it could not
};

// Reads the lines of a dump. Blank lines are skipped; a line must have the
// first four columns, the fifth is optional and ignored, as is the leading
// byte. An entry given twice is a problem.
Request parse(const QString &text);

// Reads the array that dump --json writes: category, index and name are read
// from each object, other keys ignored. The same checks as for lines apply.
Request parseJson(const QByteArray &json);

// A list as either kind: JSON when its first character other than white
// space is "[".
Request parseAny(const QByteArray &utf8);

struct Edit {
    int line;
    const NameTables::NameTable *table;
    int index;
    QString name;
};

struct Plan {
    std::vector<Edit> changes;      // only entries whose bytes change
    std::vector<Problem> problems;  // every bad line, in line order; nothing may be written while any
    bool byPosition = false;        // as the request's
};

// Checks every entry against the image. A name that differs from the image's
// only in trailing blanks is left alone, even when it could not be written
// back (a decoded name can be longer than its field), and so is one whose
// bytes would not change.
Plan check(const RomFile &rom, const Request &request, bool allowBlanks);
Plan check(const RomFile &rom, const QString &text, bool allowBlanks);

struct Outcome {
    int written = 0;                  // changes that went in, from the plan's start
    std::optional<RomError> failure;  // why the next one did not go in
    std::optional<RomError> syncFailure;  // why what went in may not be on the disk
};

// Writes the changes of a plan without problems, in order, each field whole,
// asking stop() before each; then syncs what went in. A write that fails ends
// the run; a plan with problems throws RomError at once.
Outcome apply(RomFile &rom, const Plan &plan, const std::function<bool()> &stop = {});

} // namespace NameList
