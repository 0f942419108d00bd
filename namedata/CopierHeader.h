#pragma once

#include "Bytes.h"

#include <cstdint>
#include <optional>

class Image;

// Whether an image carries the 512-byte copier header in front of the
// cartridge data: the one decision both programs make before they read or
// write a name, so both read every image at the same offsets.
namespace CopierHeader {

// What decided, strongest first.
enum class Evidence {
    Option,          // the user said so
    InternalHeader,  // a sound checksum pair at exactly one of the two places
    Size,            // 512 past a multiple of 1024, or a multiple of 1024
    Assumed,         // none of the above: taken as headered
};

struct Decision {
    bool headered = true;
    Evidence evidence = Evidence::Assumed;
    // What the internal header alone says, where it says anything.
    std::optional<bool> internalHeader;
    // True when the user's option says the opposite of the internal header.
    bool contradicted() const { return internalHeader && evidence == Evidence::Option && *internalHeader != headered; }
};

// From the file's size and the four bytes of the checksum pair as they lie
// where a headered image and a headerless one keep it (shorter where the
// file ends first); given is what the user said, if anything.
Decision decide(std::int64_t fileSize, ByteView pairIfHeadered, ByteView pairIfHeaderless,
                std::optional<bool> given = std::nullopt);
// The same for an image; throws RomError when it cannot be read.
Decision decide(const Image &rom, std::optional<bool> given = std::nullopt);

// Points the layout's offsets, which count a copier header, at the image.
void lay(Image &rom, const Decision &decision);

// "option", "internal header", "size" or "assumed", as reports name it.
const char *word(Evidence evidence);

} // namespace CopierHeader
