#pragma once

#include "Bytes.h"
#include "Patch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

// What applying a patch to an image file noticed, besides the image it made:
// an IPS that writes into the copier header, past the end, or cuts the
// image, or that looks made for the image without its copier header.
struct Note {
    enum class Kind { IntoHeader, PastEnd, CutsTo, MadeHeaderless } kind;
    std::int64_t count = 0;  // records into the header; names behind the header
    std::int64_t from = 0;   // the header's bytes; the size before
    std::int64_t to = 0;     // the size after
};

// The note as a sentence about the image so named ("the image", or a file's
// name), to follow the patch's name and a colon.
std::string sentence(const Note &note, std::string_view image);

struct OnFile {
    Bytes bytes;             // the whole file the patch makes, copier header and all
    std::vector<Note> notes;
};

// The file a patch makes of a whole image file with `header` bytes of copier
// header (0 or 512), as every front end applies one. A BPS is applied to the
// image behind the copier header, or, kept in, to the whole file: whichever
// its source CRC-32 names. An IPS is applied to the file as it is, with
// notes where it reaches into the copier header or past the end. Throws
// RomError as apply.
OnFile applyToFile(ByteView patch, ByteView whole, std::size_t header);

// How many name fields differ between two images laid out alike, offsets
// moved by shift (0 with a copier header, -512 without); a byte past the end
// of one differs from any the other holds.
int changedNames(ByteView before, ByteView after, std::int64_t shift);

} // namespace Patch
