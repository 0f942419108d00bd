#include "Admission.h"

#include "CopierHeader.h"
#include "FileKind.h"
#include "ImageHeader.h"
#include "Image.h"
#include "NameTables.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace Admission {
namespace {

// Enough of a file to tell text from an image: a cartridge image holds NUL
// bytes long before this, a text file none.
constexpr std::size_t TextSample = 64 * 1024;

// A few bytes past the sample, to see whether it ends inside a character.
constexpr std::size_t TextSampleRead = TextSample + 4;

bool looksLikeText(const Image &image)
{
    const Bytes bytes = image.read(0, TextSampleRead);
    std::size_t length = std::min(bytes.size(), TextSample);
    while (length > 0 && length < bytes.size() && (bytes[length] & 0xC0) == 0x80)
        --length;
    const std::string_view sample(reinterpret_cast<const char *>(bytes.data()), length);
    return sample.find('\0') == std::string_view::npos && Utf8::isValid(sample);
}

struct Part {
    const char *what;
    std::int64_t end;  // in layout offsets, which count a copier header
};

// Where the image ends, if it ends before the internal header or a name
// table does: the first of them, by where it ends, that the file cuts.
std::string cutShort(const Image &image)
{
    const std::int64_t shift = CopierHeader::decide(image).headered ? 0 : -ImageHeader::CopierHeaderSize;
    std::array<Part, 5> parts = {{
        {"the internal header", ImageHeader::CopierHeaderSize + ImageHeader::End},
        {"the character names", NameTables::tableEnd(NameTables::All[0])},
        {"the monster names", NameTables::tableEnd(NameTables::All[1])},
        {"the magic names", NameTables::tableEnd(NameTables::All[2])},
        {"the item names", NameTables::tableEnd(NameTables::All[3])},
    }};
    std::sort(parts.begin(), parts.end(), [](const Part &a, const Part &b) { return a.end < b.end; });
    const std::int64_t size = image.size();
    for (const Part &part : parts) {
        const std::int64_t end = part.end + shift;
        if (end > size)
            return fmt::format("the file ends at byte {} (0x{:X}), before the end of {} at 0x{:X} (laid out {} a "
                               "copier header): the image is cut short.",
                               size, size, part.what, end, shift == 0 ? "with" : "without");
    }
    return {};
}

} // namespace

std::string refusal(std::string_view name, std::int64_t size, const Image *image)
{
    std::string why;
    if (size <= 0)
        why = "the file is empty.";
    else if (ImageHeader::tooLarge(size))
        why = fmt::format("{} bytes, {} MiB or more: larger than any cartridge image, so it was not read.", size,
                          ImageHeader::LargestImage >> 20);
    else if (const auto kind = image ? FileKind::byContent(image->read(0, FileKind::StartLength)) : std::nullopt)
        why = *kind;
    // Text says more of a file than that it is small.
    else if (image && size >= std::int64_t(FileKind::StartLength) && looksLikeText(*image))
        why = "it holds text, not a cartridge image.";
    else if (const auto small = image ? FileKind::bySize(size) : std::nullopt)
        why = *small;
    else if (image)
        why = cutShort(*image);
    return why.empty() ? why : fmt::format("{}: {}", name, why);
}

} // namespace Admission
