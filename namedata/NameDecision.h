#pragma once

#include "Bytes.h"
#include "NameList.h"
#include "NameTables.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Image;

// The decisions every front end makes the same way, for one typed name and
// for a list read: whether and how a name goes into its field, what a list
// says besides its changes, and how a place in a list is named.
namespace NameList {

// What writing one typed name into one entry would do. The name is taken as
// typed, never as an earlier version's text of the field: its bytes, blanks
// at its end taken as padding, decide whether the field changes.
struct Decision {
    std::string refusal;         // why it cannot be written, or ""
    std::optional<Edit> change;  // where the field's bytes change
    Bytes after;                 // what the field holds afterwards (as it is, where refused)
};

// uncodedHint follows the list of characters without a code, in the front
// end's words for how to store them anyway.
Decision decide(const Image &rom, const NameTables::NameTable &table, int index, std::string_view name,
                bool allowBlanks, std::string_view uncodedHint = {},
                const CharTable &characters = CharTable::game());

// What a list says besides its changes and problems, as sentences without
// the list's name: the entries it leaves out as fuzzy and those it leaves
// alone as empty.
std::vector<std::string> requestNotes(const Request &request);

// What a checked list leaves as the image holds it besides its changes, as
// sentences without the list's name: the names unchanged since the list was
// made, and those outside the categories chosen.
std::vector<std::string> planNotes(const Plan &plan);

// "line 3", or "entry 3" where the places are a JSON or PO list's entries.
std::string placeOf(bool byPosition, int line);

} // namespace NameList
