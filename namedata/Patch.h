#pragma once

#include "Bytes.h"

#include <cstdint>
#include <string>

// Patches that turn one image into another of the same size. Each maker
// refuses, with RomError, images of different sizes.
namespace Patch {

enum class Format { Bps, Ips };

// "BPS" or "IPS".
const char *name(Format format);

// A BPS patch made of source reads (unchanged runs) and target reads
// (changed bytes), with the CRC-32s of source, target and patch.
Bytes makeBps(ByteView source, ByteView target);

// An IPS patch of plain records. IPS offsets stop at 0xFFFFFF, so images
// larger than 16 MiB are refused too.
Bytes makeIps(ByteView source, ByteView target);

// A patch made to publish, with what every front end reports of it.
struct Made {
    Bytes bytes;
    std::int64_t changed = 0;     // the bytes that differ
    std::uint32_t sourceCrc = 0;  // the CRC-32 of what the patch applies to
    // The original's checksum pair is sound and the edited image's is not,
    // so players' emulators will call the patched image damaged.
    bool checksumBroken = false;
};

// Makes the patch from source to target, the bytes it applies to and makes;
// where they hold a copier header, headerKept says how long it is, so that
// the cartridge header is looked at behind it. Throws RomError as the makers.
Made make(Format format, ByteView source, ByteView target, std::size_t headerKept = 0);

// "BPS patch of 52 bytes for 13 changed byte(s); the original's CRC-32 is
// 8893E4CF."
std::string summary(Format format, const Made &made);

} // namespace Patch
