#pragma once

#include "NameList.h"

#include <string>
#include <string_view>

// The list as a gettext PO file, for translation platforms and translators'
// editors, read and written by gettext's own library, where the build has it
// (ORVANE_HAVE_GETTEXTPO). Each entry is
//     #. 6 bytes at 0x47AC0 ...
//     #, max-length:6
//     msgctxt "characters 0"
//     msgid "Hero  "
//     msgstr ""
// with the name in msgid and the translation, the new name, in msgstr.
namespace NameList::Po {

// Whether this build reads and writes PO files.
bool available();

// A header entry naming the project and the generator, then one entry for
// each row whose field lies wholly inside the file (no other can be written).
// False, with why set, where the library cannot write it.
bool write(const std::vector<Row> &rows, const std::string &project, const std::string &generator,
           std::string &po, std::string &why);

// An empty msgstr leaves the entry unchanged; an entry marked fuzzy is left
// out and counted; every other msgstr is the new name of the entry that
// msgctxt names. A file the library finds errors in is unreadable. Problems
// are named by the entry's position, from 1, the header not counted.
Request read(std::string_view po);

// Whether the text begins as a PO file does: blank and comment lines, then
// msgctxt or msgid.
bool looksLikePo(std::string_view text);

} // namespace NameList::Po
