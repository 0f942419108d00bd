#pragma once

#include "NameList.h"

#include <string_view>

// A list of names in whichever form it comes, as apply reads it.
namespace NameList {

// Takes a byte-order mark off, then refuses a list that holds NUL bytes (an
// image given for the list) or is not UTF-8, naming the line. The form is
// PO by a .po ending or by its first lines, CSV by a .csv ending or a first
// line with commas or semicolons but no tab, JSON when it starts with "[",
// and lines of tab-separated columns otherwise. path only tells the form.
Request read(std::string_view bytes, std::string_view path);

} // namespace NameList
