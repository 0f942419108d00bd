#include "FileKind.h"

#include "ImageHeader.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>

namespace FileKind {
namespace {

static_assert(SmallestImage == ImageHeader::End);

constexpr const char *Unpack = ": unpack it first.";
constexpr const char *Patcher = ": apply it with a patcher to the image it was made for, and give that image.";

struct Kind {
    std::string_view magic;  // the bytes the file starts with
    const char *what;
    const char *advice;
};

// Files people offer by mistake: what their tools make or download. No
// cartridge image starts with any of these, behind a copier header or not.
constexpr Kind Kinds[] = {
    {{"PK\x03\x04", 4}, "a ZIP archive", Unpack},
    {{"PK\x05\x06", 4}, "a ZIP archive", ": unpack it first (this one holds no files)."},
    {{"PK\x07\x08", 4}, "a ZIP archive", Unpack},
    {{"\x1F\x8B", 2}, "a gzip archive", Unpack},
    {{"7z\xBC\xAF\x27\x1C", 6}, "a 7-Zip archive", Unpack},
    {{"Rar!\x1A\x07", 6}, "a RAR archive", Unpack},
    {"BPS1", "a BPS patch", Patcher},
    {"UPS1", "a UPS patch", Patcher},
    {"PATCH", "an IPS patch", Patcher},
    {{"\x89PNG\r\n\x1A\n", 8}, "a PNG picture", " of a cartridge."},
};

} // namespace

std::optional<std::string> byContent(ByteView start)
{
    const std::string_view bytes(reinterpret_cast<const char *>(start.data()), std::min(start.size(), StartLength));
    for (const Kind &kind : Kinds)
        if (bytes.starts_with(kind.magic))
            return fmt::format("It is {}, not an image{}", kind.what, kind.advice);
    return std::nullopt;
}

std::optional<std::string> bySize(std::int64_t size)
{
    if (size <= 0)
        return std::string("The file is empty: too small to be an image.");
    if (size < SmallestImage)
        return fmt::format("It is too small to be an image: {} bytes, too short to hold the internal header, "
                           "which ends at byte {} even without a copier header.",
                           size, SmallestImage);
    return std::nullopt;
}

std::optional<std::string> refusal(ByteView start, std::int64_t size)
{
    if (std::optional<std::string> why = byContent(start))
        return why;
    return bySize(size);
}

} // namespace FileKind
