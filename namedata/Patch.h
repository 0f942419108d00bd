#pragma once

#include "Bytes.h"

#include <cstdint>
#include <string>
#include <string_view>

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

// How much of a headered image's copier header a patch keeps in, so that
// it applies to the image the player holds: an IPS applies to the file as
// it is, header and all, unless asked for the form without it; a BPS is
// made against the image behind the header, which BPS patchers take off
// before they check its CRC-32, unless asked to keep it.
std::size_t headerKept(Format format, bool headered, bool keepHeader, bool dropHeader);

// An image file as a patch is made from it: its name as shown, whether it
// has a copier header, and its size.
struct Side {
    std::string_view name;
    bool headered = false;
    std::int64_t size = 0;
};

// Why no patch can be made from the original to the edited image, or "":
// one has a copier header and the other none, or their sizes differ.
std::string pairRefusal(const Side &original, const Side &edited);

// A patch made to publish, with what every front end reports of it.
struct Made {
    Bytes bytes;
    std::int64_t changed = 0;     // the bytes that differ
    std::uint32_t sourceCrc = 0;  // the CRC-32 of what the patch applies to
    // The original's checksum pair is sound and the edited image's is not,
    // so players' emulators will call the patched image damaged.
    bool checksumBroken = false;
    bool headered = false;        // the images have a copier header
    std::size_t headerKept = 0;   // and the patch keeps it in
};

// The original's checksum pair is sound and the edited image's is not: both
// given from their cartridge data on (past any copier header).
bool checksumBroken(ByteView original, ByteView edited);

// Makes the patch from the original file to the edited one, both whole,
// with or without a copier header (headered), keeping as much of it as
// headerKept() says. Throws RomError as the makers.
Made make(Format format, ByteView original, ByteView edited, bool headered, std::size_t headerKept);

// What the patch is and the image it applies to, with that image's CRC-32
// for a player to check: "IPS patch of 32 bytes for 13 changed byte(s); it
// applies to the image with its copier header, whose CRC-32 is 94A79289."
std::string summary(Format format, const Made &made);

} // namespace Patch
