#pragma once

#include "NameList.h"

#include <string>
#include <string_view>

// The list as the JSON array of dump --json: one object per entry with
// category, index, leadingByte, name and bytes.
namespace NameList::Json {

std::string write(const std::vector<Row> &rows);

// Reads category, index and name from each object, other keys ignored, as
// the parser goes, holding one object at a time. An
// object that gives a key twice is refused, and so is an index that is not
// written as a whole number (0.99999999999999999999 is not 1). Problems are
// named by the entry's position, from 1.
Request read(std::string_view json);

} // namespace NameList::Json
