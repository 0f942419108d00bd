#pragma once

#include "Bytes.h"
#include "Patch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A patch read back: what it holds, and the image it makes of another. A
// patch is checked whole before anything is made of it, so a patch that is
// cut short, fails its checksum or reaches too far is refused with the
// reason and never applied in part.
namespace Patch {

// The format whose mark the bytes start with, if any.
std::optional<Format> formatOf(ByteView start);

// No patch here reaches past this: IPS offsets stop at 16 MiB, and no image
// of the game comes near it.
inline constexpr std::int64_t FurthestReach = std::int64_t(16) << 20;

// Bytes a patch writes: `length` of them from `offset` of the image it makes.
struct Span {
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

struct Contents {
    Format format = Format::Bps;
    // BPS: the sizes and CRC-32s of the image it takes and the one it makes,
    // and its metadata as stored (most hold none, some XML).
    std::int64_t sourceSize = 0;
    std::int64_t targetSize = 0;
    std::uint32_t sourceCrc = 0;
    std::uint32_t targetCrc = 0;
    std::string metadata;
    // IPS: its records in order (a run of one byte counts as one), the bytes
    // they write in all, and the size it cuts the image to, if it says one.
    std::vector<Span> records;
    std::int64_t bytesWritten = 0;
    std::optional<std::int64_t> truncatedTo;
};

// Reads and checks a whole patch; throws RomError, a sentence that names
// what is wrong, when it is none or a damaged one.
Contents read(ByteView patch);

// The image the patch makes of `source`, all or nothing. A BPS whose source
// CRC-32 is not `source`'s is refused with both, as is one whose result does
// not have the CRC-32 it promises.
Bytes apply(ByteView patch, ByteView source);

} // namespace Patch
