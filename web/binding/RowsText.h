#pragma once

#include "Session.h"

#include <string>
#include <vector>

// Lists of rows, a list for each table, as one JSON text of Row objects
// (web/page/core.js) for the page to parse in one call: as embind's value
// objects, every field of 758 rows is a call across of its own, which costs
// several times what making the rows does.
std::string rowsText(const std::vector<std::vector<Session::Row>> &tables);
