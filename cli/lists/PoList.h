#pragma once

#include "NameList.h"

// The list as a gettext PO file, for translation platforms and translators'
// editors, read and written by gettext's own library. Each entry is
//     #. 6 bytes at 0x47AC0 ...
//     #, max-length:6
//     msgctxt "characters 0"
//     msgid "Hero  "
//     msgstr ""
// with the name in msgid and the translation, the new name, in msgstr.
namespace NameList::Po {

// A header entry naming the project and the generator, then one entry for
// each row whose field lies wholly inside the file (no other can be written).
// False, with why set, where the library cannot write it.
bool write(const std::vector<Row> &rows, const QString &project, const QString &generator, QByteArray &po,
           QString &why);

// An empty msgstr leaves the entry unchanged; an entry marked fuzzy is left
// out and counted; every other msgstr is the new name of the entry that
// msgctxt names. A file the library finds errors in is unreadable. Problems
// are named by the entry's position, from 1, the header not counted.
Request read(const QByteArray &po);

// Whether the text, BOM and all, begins as a PO file does: blank and comment
// lines, then msgctxt or msgid.
bool looksLikePo(QStringView text);

} // namespace NameList::Po
