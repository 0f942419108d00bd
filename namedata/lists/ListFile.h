#pragma once

#include "NameList.h"

#include <string_view>

// A list of names in whichever form it comes, as apply reads it.
namespace NameList {

// Reads UTF-16 with a byte-order mark as well as UTF-8, takes a UTF-8
// byte-order mark off, then refuses a list that holds NUL bytes (an image
// given for the list) or is not text, naming the line. The form is the one
// of Forms.h that claims the list: PO by a .po ending or by its first lines
// (in the charset it declares), JSON when it starts with "[" or "{", and
// rows of columns otherwise, separated by tabs, commas or semicolons as the
// first row is. path only tells PO.
Request read(std::string_view bytes, std::string_view path);

} // namespace NameList
