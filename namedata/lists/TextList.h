#pragma once

#include "NameList.h"

#include <string>
#include <string_view>

// The list as lines of tab-separated columns, as dump prints it: category,
// index, leading byte (- where there is none), name, and the field's bytes
// in hex (-- for each byte past the end of a short file).
namespace NameList::Text {

// One line without its line break.
std::string line(const Row &row);
std::string write(const std::vector<Row> &rows);

// Reads tab-separated rows as Columns does, with the widths of a dump: the
// fifth column is optional and ignored, as is the leading byte.
Request read(std::string_view text);

} // namespace NameList::Text
