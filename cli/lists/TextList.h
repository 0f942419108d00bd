#pragma once

#include "NameList.h"

// The list as lines of tab-separated columns, as dump prints it: category,
// index, leading byte (- where there is none), name, and the field's bytes
// in hex (-- for each byte past the end of a short file).
namespace NameList::Text {

// One line without its line break.
QString line(const Row &row);
QByteArray write(const std::vector<Row> &rows);

// Reads lines as Columns does, with the widths of a dump: the fifth column is
// optional and ignored, as is the leading byte. CRLF endings are taken.
Request read(const QString &text);

} // namespace NameList::Text
