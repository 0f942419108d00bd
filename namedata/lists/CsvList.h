#pragma once

#include "NameList.h"

#include <string>
#include <string_view>

// The list as CSV (RFC 4180) for spreadsheets: a header row
// category,index,byte,name,max,bytes, then one row per entry, where byte is
// the leading byte as dump prints it and max the field's length in bytes.
namespace NameList::Csv {

// Rows end in CRLF; a field is quoted where it holds a comma, a semicolon, a
// quote or a line break, or starts or ends with a blank.
std::string write(const std::vector<Row> &rows);

// Reads the rows as Columns does, with the separator the first row is
// written with: a comma, a semicolon or a tab.
Request read(std::string_view text);

} // namespace NameList::Csv
