#pragma once

#include "NameList.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Every form a list of names takes, in one table: its name, the endings of
// its files, how a list is told to be in it, its reader and its writer. The
// command's dump, apply and the page all go through the table, so a form is
// added, or offered in the page, here alone.
namespace NameList {

// What a written list says of where it comes from, for a form with a header
// (PO): the image's file name and the program that made it.
struct Origin {
    std::string project;
    std::string generator;
};

// Where a list written of the image at that path comes from: the file's
// own name, shown as messages show it, and orvane-names of that version.
// The command's dump and the page's export name it alike.
Origin originOf(std::string_view imagePath, std::string_view version);

struct Written {
    bool made = true;
    std::string text;
    std::string why;  // why it was not made
};

struct Form {
    std::string_view name;     // "lines", "CSV", "JSON", "PO", as messages name it
    std::string_view keyword;  // lower case: the command's option is "--" followed by it
    std::span<const std::string_view> endings;  // lower case, the first being what the form's files are given
    std::string_view mediaType;
    // Whether the text is read before it is taken for UTF-8: the form says
    // its own charset.
    bool ownCharset;
    // Whether a list of this name and text is in this form; of the forms
    // alike in ownCharset, no two claim the same list.
    bool (*claims)(std::string_view path, std::string_view text);
    Request (*read)(std::string_view text);
    Written (*write)(const std::vector<Row> &rows, const Origin &origin);
    // Whether only entries whose field lies wholly inside the image are
    // written (no other can be written back).
    bool wholeFieldsOnly;
};

// lines, JSON, CSV, PO: the order the command's options are listed in.
std::span<const Form> forms();
// The form of that name or keyword, in either case, or nullptr.
const Form *formNamed(std::string_view name);
// The form a file of that name is given in by its ending, or nullptr.
const Form *formForEnding(std::string_view path);
// Of the forms that say their own charset (ownCharset), or of the others,
// the one that claims a list of that name and text, or nullptr. The others
// are asked only once the text is known to be UTF-8; between them they
// claim every such text.
const Form *formClaiming(std::string_view path, std::string_view text, bool ownCharset);

} // namespace NameList
