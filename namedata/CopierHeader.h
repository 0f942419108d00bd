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
    // What the image alone says, where an option decided.
    std::optional<bool> sizeSays;
    // True when the user's option says the opposite of the size, which
    // decides the image's reading without it.
    bool overrulesSize() const { return evidence == Evidence::Option && !internalHeader && sizeSays && *sizeSays != headered; }
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
// 2. the internal header, where one that looks like a cartridge header (a
//    sound checksum pair and a printable title) lies at exactly one of its
//    two places;
// 3. the size: 512 past a multiple of 1024 has a header, a multiple has none;
// 4. a sound checksum pair at exactly one of the two places;
// 5. anything else is taken as headered, and the caller says it assumed so.
// Nothing this tool writes moves the decision: it writes names, which lie in
// no header, and the checksum pair, which it puts where the decision points
// unless an option sends it to the other place. The sum is left out on
// purpose: a name edit changes it, and an image whose layout a matching sum
// decided would be read 512 bytes away after the edit.
// The checksums are asked for only where an option contradicts the header.
Decision decide(std::int64_t fileSize, const Places &places, const ChecksumMatches &checksumMatches,
                std::optional<bool> given = std::nullopt);
// The same for an image; throws RomError when it cannot be read.
Decision decide(const Image &rom, std::optional<bool> given = std::nullopt);

// Whether the header bytes look like a cartridge header: a title of
// printable characters, not all blank. Twenty-one such bytes come by chance
// about once in 25,000 places, and with a sound pair once in a billion; the
// map mode and size bytes are left out, since hacks and test images leave
// them as they happen to be.
bool plausible(ByteView header);

// Points the layout's offsets, which count a copier header, at the image.
void lay(Image &rom, const Decision &decision);

// "option", "internal header", "size" or "assumed", as reports name it.
const char *word(Evidence evidence);

} // namespace CopierHeader
