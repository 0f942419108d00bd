#pragma once

#include "NameList.h"

#include <string>
#include <string_view>

// The list as a gettext PO file, for translation platforms and translators'
// editors, read and written here in standard C++ alone, so that every build
// (the command, the page, Windows) has it; the tests hold it to what
// gettext's own tools read and write. Each entry is
//     #. 6 bytes at 0x47AC0: 879EABA8FFFF; ...
//     #, max-length:6
//     msgctxt "characters 0"
//     msgid "Hero  "
//     msgstr ""
// with the name in msgid and the translation, the new name, in msgstr.
namespace NameList::Po {

// A header entry naming the project and the generator, then one entry for
// each row whose field lies wholly inside the file (no other can be written),
// as gettext's msgcat writes them.
std::string write(const std::vector<Row> &rows, const std::string &project, const std::string &generator);

// Read in the charset the header declares (PoCharset.h). An empty msgstr
// leaves the entry unchanged; an entry marked fuzzy is left out and counted;
// obsolete entries (#~) are skipped; every other msgstr is the new name of
// the entry that msgctxt names, with the field's bytes when the list was
// made from the comment dump writes. A file with a syntax error is
// unreadable, the error's line said. Problems are named by the entry's
// position, from 1, the header and obsolete entries not counted.
Request read(std::string_view po);

// Whether the text begins as a PO file does: blank and comment lines, then
// msgctxt or msgid.
bool looksLikePo(std::string_view text);

} // namespace NameList::Po
