#pragma once

#include "Bytes.h"

#include <cstdint>
#include <optional>
#include <string>

class Image;

// The cartridge's own header, its checksum, and the copier header some images
// carry in front of the cartridge data. Unless a function says otherwise,
// `data` is the cartridge data: the image with any copier header taken off.
namespace ImageHeader {

inline constexpr int CopierHeaderSize = 512;

// Offsets in the cartridge data. The header proper ends at End.
inline constexpr int TitleAt = 0xFFC0, TitleLength = 21, MapModeAt = 0xFFD5,
                     ComplementAt = 0xFFDC, ChecksumAt = 0xFFDE, End = 0xFFE0;

// No cartridge image comes near this; reading a file this large whole would
// only exhaust memory. Every front end refuses such a file as no image.
inline constexpr std::int64_t LargestImage = 64 * 1024 * 1024;
constexpr bool tooLarge(std::int64_t size)
{
    return size >= LargestImage;
}

// The checksum the cartridge header should hold: the 16-bit sum of every
// byte, with the four stored bytes at ComplementAt counted as FF FF 00 00
// (the sum of any sound pair), so the value does not depend on what is
// stored there. A size that is not a power of two counts as its largest
// power-of-two part plus the rest, the rest repeated up to that part's size.
std::uint16_t computeChecksum(ByteView data);

// The same for the data of an image laid out by CopierHeader, read a piece
// at a time.
std::uint16_t computeChecksum(const Image &rom);

// The CRC-32 of zip and PNG, through Intel's storage library (ISA-L) or else
// zlib, where the build has one.
// crc is the CRC-32 of the bytes before, to go on from.
std::uint32_t crc32(ByteView data, std::uint32_t crc = 0);
// The same, made here, for builds without either.
std::uint32_t crc32Portable(ByteView data, std::uint32_t crc = 0);

// What the cartridge header says. A field that does not lie wholly inside the
// data is absent.
struct Report {
    std::optional<std::string> title;  // TitleLength characters of Latin-1 as UTF-8, blanks kept
    std::optional<std::uint8_t> mapMode;
    std::optional<std::uint16_t> storedChecksum;
    std::optional<std::uint16_t> storedComplement;
    std::uint16_t computedChecksum = 0;
    // Both stored, complementing each other, and the checksum equals the
    // computed one.
    bool checksumValid = false;
    std::uint32_t crc32 = 0;
    // Of the whole file, the copier header followed by the data: what a
    // patcher that keeps the header checks. The same as crc32 without one.
    std::uint32_t fileCrc32 = 0;
};

// The CRC-32 costs as much again as the checksum, where the build has no
// library to make it; a report that does not show it can skip it (0 then).
enum class Crc { Make, Skip };
Report inspect(ByteView data, Crc crc = Crc::Make);
// The same for the data of an image laid out by CopierHeader, read a piece
// at a time. The caller refuses an image that is tooLarge() first.
Report inspect(const Image &rom);

// The internal title of an image laid out by CopierHeader, as the editor's
// caption and info show it: TitleLength characters of Latin-1 as UTF-8,
// blanks kept, a byte past the end of a short file as U+0000.
std::string title(const Image &rom);
// The same of the title's bytes as read.
std::string titleText(ByteView bytes);

// The four bytes to store at ComplementAt for this checksum: the complement,
// then the checksum, each little-endian.
Bytes soundPair(std::uint16_t checksum);

// For an image laid out by CopierHeader: how many bytes of copier header lie
// in front of its data (512 or 0), and its data read whole. The caller
// refuses an image that is tooLarge() first.
std::int64_t headerBytes(const Image &rom);
Bytes readData(const Image &rom);

// "too short to hold the internal header (N bytes behind the copier header;
// the header ends at 65504)."
std::string tooShort(std::int64_t behind);
// Why the image cannot hold the internal header's checksum, or "".
std::string cannotHoldChecksum(const Image &rom);

// Writes the sound checksum pair where the stored one is not sound, and
// returns the checksum written; nothing when the pair is sound already. The
// caller makes sure the image can hold it, and syncs.
std::optional<std::uint16_t> makeChecksumSound(Image &rom);

} // namespace ImageHeader
