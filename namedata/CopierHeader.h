#pragma once

#include "Bytes.h"

#include <cstdint>
#include <functional>
#include <optional>

class Image;

// Whether an image carries the 512-byte copier header in front of the
// cartridge data: the one decision every front end makes before it reads or
// writes a name, so all read every image at the same offsets.
namespace CopierHeader {

// What decided, strongest first.
enum class Evidence {
    Option,          // the user said so
    InternalHeader,  // a cartridge header at exactly one of the two places
    Size,            // 512 past a multiple of 1024, or a multiple of 1024
    Assumed,         // none of the above: taken as headered
};

struct Decision {
    bool headered = true;
    Evidence evidence = Evidence::Assumed;
    // What the internal header alone says, where it says anything.
    std::optional<bool> internalHeader;
    // Its stored checksum is the sum of the image laid out as it says:
    // evidence too strong for an option to overrule when writing.
    bool checksumMatches = false;
    // True when the user's option says the opposite of the internal header.
    bool contradicted() const { return internalHeader && evidence == Evidence::Option && *internalHeader != headered; }
};

// The internal header's 32 bytes (0xFFC0 to 0xFFE0 of the data) as they lie
// where each layout would put them, shorter where the file ends first.
struct Places {
    ByteView ifHeadered;
    ByteView ifHeaderless;
};

// Whether the checksum stored in the internal header, laid out one way
// (true: behind a copier header), is the sum of the image laid out so.
using ChecksumMatches = std::function<bool(bool headered)>;

// The evidence, in the order it is trusted:
// 1. what the user said (--headered, --headerless);
// 2. the internal header, where it is one at exactly one of its two places:
//    its checksum pair is sound, and either its title, map mode and size
//    bytes look like a cartridge header's or its checksum matches the image
//    laid out that way (name edits change the sum, but never the header, so
//    an edited image still shows it);
// 3. the size: 512 past a multiple of 1024 has a header, a multiple has none;
// 4. anything else is taken as headered, and the caller says it assumed so.
// The checksums are asked for only where they matter.
Decision decide(std::int64_t fileSize, const Places &places, const ChecksumMatches &checksumMatches,
                std::optional<bool> given = std::nullopt);
// The same for an image; throws RomError when it cannot be read.
Decision decide(const Image &rom, std::optional<bool> given = std::nullopt);

// Whether the header bytes look like a cartridge header: a title of
// printable characters, a known map mode and a size byte of 256 KiB to 8 MiB.
bool plausible(ByteView header);

// Points the layout's offsets, which count a copier header, at the image.
void lay(Image &rom, const Decision &decision);

// "option", "internal header", "size" or "assumed", as reports name it.
const char *word(Evidence evidence);

} // namespace CopierHeader
