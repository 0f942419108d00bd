#pragma once

#include "Bytes.h"
#include "CharTable.h"
#include "NameTables.h"
#include "RomError.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Image;

// Every name of an image as rows, and lists of names back into the image.
// The forms a list takes (lines, CSV, JSON, PO) each have their reader and
// writer in lists/; they all speak Row and Request, and the checks and the
// writes are made here. Names are in the lossless text of NameText.
namespace NameList {

struct Row {
    const NameTables::NameTable *table;
    int index;
    std::optional<std::uint8_t> leadingByte;  // none where the table has none or the image ends
    std::string name;                          // every byte the image holds, blanks kept
    Bytes field;                               // the bytes of the field the image holds
    std::int64_t offset;                       // where the field starts in the file
};

// All four tables in table order, the names read through the character table.
std::vector<Row> dump(const Image &rom, const CharTable &characters = CharTable::game());
// One entry as dump gives it, read alone.
Row dumpEntry(const Image &rom, const NameTables::NameTable &table, int index,
              const CharTable &characters = CharTable::game());

// The field's bytes in hex, -- for each one past the end of the image.
std::string hexColumn(ByteView bytes, int length);
// The leading byte in hex; - where the table has none, -- past the end.
std::string leadingText(const Row &row);

// The table for a category word ("characters", ...), or nullptr.
const NameTables::NameTable *tableNamed(std::string_view word);
// The tables of a list of category words separated by commas ("items,magic"),
// in table order, each once; empty, with why set, where a word names none.
std::vector<const NameTables::NameTable *> tablesNamed(std::string_view words, std::string &why);
// The rows whose table is one of those, or all where none is given.
std::vector<Row> onlyIn(std::vector<Row> rows, const std::vector<const NameTables::NameTable *> &tables);
// The rows of image whose field differs from original's, each with the
// original's bytes as its field: a list of exactly the names changed, whose
// base is the original.
std::vector<Row> changedFrom(const Image &original, const Image &image,
                             const CharTable &characters = CharTable::game());

// "items 3", as messages name an entry.
std::string entryLabel(const NameTables::NameTable &table, int index);
// A plain decimal index inside the table, or -1.
int parseIndex(const NameTables::NameTable &table, std::string_view text);

// Why the name cannot be written to the entry, or an empty string when it can:
// longer than the field, characters without a code (unless allowBlanks, with
// the front end's hint of how to store them after the list of them), or a
// field that does not lie wholly inside the image.
std::string refusal(const Image &rom, const NameTables::NameTable &table, int index, std::string_view name,
                    bool allowBlanks, std::string_view uncodedHint = {},
                    const CharTable &characters = CharTable::game());

// Two names that differ only in blanks at their ends name the same thing.
bool sameName(std::string_view a, std::string_view b);

// A name as it is written: blanks at its end are the field's padding.
std::string_view withoutTrailingBlanks(std::string_view name);

struct Problem {
    int line;  // counted from 1
    std::string reason;
};

// The problems a list's checks keep, the first by line; past these only how
// many more there are, so a list of millions of bad lines holds no more
// than a list of a few. Every front end shows those it keeps.
constexpr std::size_t ProblemsKept = 20;
// The largest list a front end reads, in bytes: a full dump is under
// 100 KB, so anything this large is not a list of names.
constexpr std::size_t LargestList = 16 * 1024 * 1024;
// "names.csv:3: reason", or "names.json: entry 3: reason" where the places
// are a JSON or PO list's entries, as every front end reports a problem.
std::string problemLine(std::string_view list, bool byPosition, const Problem &problem);
// "names.csv: and 12 more problem(s)." for the problems past those kept.
std::string moreProblems(std::string_view list, std::size_t more);

struct Entry {
    int line;
    const NameTables::NameTable *table;
    int index;
    std::string name;
    // What the field held when the list was made, where the list says so
    // (the bytes column, "bytes" in JSON, the comment in PO).
    std::optional<Bytes> base;
};

// What a list asks for, before the image is looked at.
struct Request {
    std::vector<Entry> entries;
    std::vector<Problem> problems;  // the first ProblemsKept, in the order found
    std::size_t moreProblems = 0;   // found past those
    bool byPosition = false;  // JSON and PO: "lines" are the entries' positions, from 1
    std::string unreadable;   // why the list as a whole could not be read, if it could not
    int fuzzy = 0;            // PO entries marked fuzzy, left out
    int empty = 0;            // entries whose name is empty, which leave their name alone
    // Whether a name in the editor's text, as earlier versions wrote lists
    // ("..." for the ellipsis code, nothing for a byte without a character),
    // that equals what the field holds leaves it alone.
    bool earlierText = true;
    // Said after the characters of a name that have no code, such as how
    // the front end stores them anyway.
    std::string uncodedHint;
    // Whether a name whose field changed since the list was made, and
    // which is neither the name then nor the name now, is written anyway
    // rather than counted a conflict.
    bool overwrite = false;
    // The only categories whose entries are checked, or all where empty.
    std::vector<const NameTables::NameTable *> only;
    // The names' character table, the game's where none; it outlives the request.
    const CharTable *characters = nullptr;
    // "line 3" or "entry 3", as messages name a place in the list.
    std::string place(int line) const;
};

// Takes a list's entries as a reader finds them: the category and the index
// must name an entry, and no entry may be given twice.
class Collector {
public:
    explicit Collector(Request &request) : m_request(request) {}
    // baseHex is the field's bytes in hex when the list was made, or empty
    // where the list does not say.
    void add(int line, std::string_view category, std::string_view index, std::string name,
             std::string_view baseHex = {});
    void refuse(int line, std::string reason);

private:
    Request &m_request;
    std::map<std::pair<const NameTables::NameTable *, int>, int> m_seen;
};

struct Edit {
    int line;
    const NameTables::NameTable *table;
    int index;
    Bytes before;  // the field's bytes as checked
    Bytes after;   // the bytes the name writes
};

// An entry whose field changed since the list was made to a name the list
// does not give: the three names, as lossless text.
struct Conflict {
    int line;
    const NameTables::NameTable *table;
    int index;
    std::string made;  // when the list was made
    std::string now;   // in the image now
    std::string list;  // in the list
};

// "names.csv:3: items 7 changed since the list was made: ...", as every
// front end shows a conflict.
std::string conflictLine(std::string_view list, bool byPosition, const Conflict &conflict);

struct Plan {
    std::vector<Edit> changes;      // only entries whose bytes change
    std::vector<Problem> problems;  // the first ProblemsKept bad lines, in line order; nothing may be written while any
    std::size_t moreProblems = 0;   // bad lines past those
    std::vector<Problem> leftAlone; // names in the editor's text of what their field holds, with the way to force them
    bool byPosition = false;        // as the request's
    std::vector<Conflict> conflicts;  // the first ProblemsKept, in line order; nothing may be written while any
    std::size_t moreConflicts = 0;    // conflicts past those
    int unchangedSinceMade = 0;     // names still the list's base: left as the image holds them
    int otherCategories = 0;        // entries outside the request's only categories, left out
    // Whether nothing may be written: the list has problems or conflicts.
    bool refused() const { return !problems.empty() || !conflicts.empty(); }
};

// Checks every entry against the image. Where an entry has a base (what
// its field held when the list was made), a name that is still the base's
// changes nothing, whatever the field holds now, and is counted; a name
// whose field changed since, and which is neither the base's nor the
// field's name now, is a conflict unless the request says to overwrite.
// Bytes decide: a name is unchanged
// only where the bytes it stands for, blanks at its end taken as padding,
// are the field's; a name that fits a field cut by the end of the image in
// the bytes that are there is unchanged too. Where the request allows it, a
// name that shows a character and is the editor's text of the field (as
// earlier versions wrote lists) is left alone and noted; a name of blanks
// always blanks the field.
Plan check(const Image &rom, const Request &request, bool allowBlanks);

struct Outcome {
    int written = 0;                      // changes that went in, from the plan's start
    std::optional<RomError> failure;      // why the next one did not go in
    bool partly = false;                  // the next one's field may hold part of its new name
    std::optional<RomError> syncFailure;  // why what went in may not be on the disk
};

// Writes one change's field whole, with one write; the caller syncs.
void write(Image &rom, const Edit &edit);

// Writes the changes of a plan without problems, in order, each field whole,
// asking stop() before each; then syncs what went in, a field left half
// written by a failing disk included. A write that fails ends the run; a
// plan with problems or conflicts throws RomError at once.
Outcome apply(Image &rom, const Plan &plan, const std::function<bool()> &stop = {});

} // namespace NameList
