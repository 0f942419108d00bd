#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Where a PO file may be cut into pieces that gettext reads one at a time,
// so that a long file never has all its entries in the library's memory at
// once. The file is lexed as gettext lexes it, as far as that tells entries
// apart: comments, quoted strings with their escapes, and the keywords.
namespace NameList::Po {

// The offsets where pieces of about `size` bytes or more start, the first
// being 0: each is the start of an entry (its comments included), the first
// comment or msgctxt or msgid after a msgstr. A file without such places is
// one piece.
std::vector<std::size_t> pieces(std::string_view po, std::size_t size);

} // namespace NameList::Po
