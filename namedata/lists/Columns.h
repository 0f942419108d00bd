#pragma once

#include "NameList.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the lists made of rows of columns (tab-separated lines, CSV) share.
// Rows are read as spreadsheets write them, whatever the separator: quoted
// cells with separators, doubled quotes and line breaks; lines end in LF,
// CRLF or CR alone. A line that starts with "#" is a comment, never read as a
// row, and blank rows (nothing but separators, spaces and tabs) are skipped. A first row that names the columns category, index and name (in
// any order and case) is a header, and the columns are then found by name,
// all others ignored; where the header puts the name first, a row starting
// with "#" is a name, not a comment. Without a header, the columns are those
// of a dump: category, index, leading byte, name, and what follows it up to
// the dump's width.
namespace NameList::Columns {

using Fields = std::vector<std::string>;

bool isHeader(const Fields &fields);

// The separator the text's first row is written with: a tab, a comma or a
// semicolon, whatever the file is called.
char separatorOf(std::string_view text);

// Reads every row; a problem is named by the line its row starts on.
Request read(std::string_view text, char separator);

} // namespace NameList::Columns
