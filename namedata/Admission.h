#pragma once

class Image;

#include <cstdint>
#include <string>
#include <string_view>

// The one rule for a file offered as an image to be held in memory, as the
// page holds it, so that every file taken can be read, edited and saved
// whole, and every other one is turned away with a sentence that names it.
namespace Admission {

// Why the page will not take the file, or "" when it will: an empty file; one
// of 64 MiB or more (refused from its size alone, before it is read into
// memory); one that FileKind turns away as an archive, a patch, a picture
// or too small; one that holds text; one that ends before the internal header or
// any of the four name tables, as the copier header decision lays it out.
// image, the file's bytes, is null while only the size is known; of it, only
// the first 64 KiB and the internal header's two places are read.
std::string refusal(std::string_view name, std::int64_t size, const Image *image);

} // namespace Admission
