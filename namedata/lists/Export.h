#pragma once

#include "Forms.h"

#include <vector>

// A list of names as dump and the page's export make it: all the names or
// part of them, in any form of the table.
namespace NameList {

struct ListChoice {
    const Form *form = nullptr;
    // The only categories listed, or all where empty.
    std::vector<const NameTables::NameTable *> only;
    // Where given, only the names the image changed from it, with its bytes
    // as the list's base.
    const Image *changedFrom = nullptr;
    // A UTF-8 byte-order mark first, for spreadsheets that otherwise take
    // the text for Windows-1252 (CSV and lines only).
    bool byteOrderMark = false;
    // The names' character table, the game's where none.
    const CharTable *characters = nullptr;
};

// Whether the form can start with a byte-order mark: JSON and PO cannot.
bool takesByteOrderMark(const Form &form);

// The rows the choice lists, in table order.
std::vector<Row> listedRows(const Image &image, const ListChoice &choice);

// The rows written in the choice's form, the mark first where asked.
Written writeList(const std::vector<Row> &rows, const ListChoice &choice, const Origin &origin);

} // namespace NameList
