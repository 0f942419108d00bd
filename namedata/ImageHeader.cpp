#include "ImageHeader.h"

#include "Image.h"
#include "Utf8.h"

#include <fmt/format.h>

#ifdef ORVANE_HAVE_ZLIB
#include <zlib.h>
#endif

#include <algorithm>
#include <array>
#include <bit>

namespace ImageHeader {

namespace {

// The checksum pair as the checksum counts it, whatever is stored there.
constexpr std::array<std::uint8_t, 4> CountedPair = {0xFF, 0xFF, 0x00, 0x00};

// The plain sum of data[from, to), with the stored pair's bytes that fall in
// that range counted as CountedPair.
std::uint64_t sumRange(ByteView data, std::size_t from, std::size_t to)
{
    std::uint64_t sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += data[i];
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t at = ComplementAt + k;
        if (at >= from && at < to)
            sum = sum - data[at] + CountedPair[k];
    }
    return sum;
}

struct Folded {
    std::uint64_t sum;
    std::uint64_t length;  // the power of two the range counts as
};

// data[from, from + size) by the size rule: the largest power-of-two part,
// plus the rest folded the same way and then doubled up to that part's size.
Folded fold(ByteView data, std::size_t from, std::uint64_t size)
{
    const std::uint64_t part = std::bit_floor(size);
    const std::uint64_t sum = sumRange(data, from, from + std::size_t(part));
    if (part == size)
        return {sum, part};
    Folded rest = fold(data, from + std::size_t(part), size - part);
    while (rest.length < part) {
        rest.sum *= 2;
        rest.length *= 2;
    }
    return {sum + rest.sum, 2 * part};
}

std::optional<std::uint16_t> word(ByteView data, std::size_t at)
{
    if (data.size() < at + 2)
        return std::nullopt;
    return std::uint16_t(data[at] | data[at + 1] << 8);
}

} // namespace

std::uint16_t computeChecksum(ByteView data)
{
    if (data.empty())
        return 0;
    return std::uint16_t(fold(data, 0, data.size()).sum);
}

std::uint32_t crc32Portable(ByteView data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            made[n] = c;
        }
        return made;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t crc32(ByteView data)
{
#ifdef ORVANE_HAVE_ZLIB
    return std::uint32_t(::crc32_z(::crc32_z(0, nullptr, 0), data.data(), z_size_t(data.size())));
#else
    return crc32Portable(data);
#endif
}

Report inspect(ByteView data)
{
    Report report;
    if (data.size() >= std::size_t(TitleAt + TitleLength))
        report.title = Utf8::fromLatin1(textOf(data.subspan(TitleAt, TitleLength)));
    if (data.size() > std::size_t(MapModeAt))
        report.mapMode = data[MapModeAt];
    report.storedComplement = word(data, ComplementAt);
    report.storedChecksum = word(data, ChecksumAt);
    report.computedChecksum = computeChecksum(data);
    report.checksumValid = report.storedChecksum && report.storedComplement
                           && (*report.storedChecksum ^ *report.storedComplement) == 0xFFFF
                           && *report.storedChecksum == report.computedChecksum;
    report.crc32 = crc32(data);
    return report;
}

Bytes soundPair(std::uint16_t checksum)
{
    const std::uint16_t complement = checksum ^ 0xFFFF;
    return {std::uint8_t(complement & 0xFF), std::uint8_t(complement >> 8), std::uint8_t(checksum & 0xFF),
            std::uint8_t(checksum >> 8)};
}

std::int64_t headerBytes(const Image &rom)
{
    return CopierHeaderSize + rom.offsetShift();
}

Bytes readData(const Image &rom)
{
    // The first byte behind the copier header, in the layout's offsets.
    return rom.read(CopierHeaderSize, std::max<std::int64_t>(0, rom.size() - headerBytes(rom)));
}

std::string tooShort(std::int64_t behind)
{
    return fmt::format("too short to hold the internal header ({} bytes behind the copier header; "
                       "the header ends at {}).",
                       behind, End);
}

std::string cannotHoldChecksum(const Image &rom)
{
    const std::int64_t size = rom.size();
    if (size > LargestImage)
        return fmt::format("The image is {} bytes long, larger than any cartridge image.", size);
    const std::int64_t behind = size - headerBytes(rom);
    return behind < End ? "The image is " + tooShort(behind) : std::string();
}

std::optional<std::uint16_t> makeChecksumSound(Image &rom)
{
    const Report header = inspect(readData(rom));
    if (header.checksumValid)
        return std::nullopt;
    rom.writeField(CopierHeaderSize + ComplementAt, soundPair(header.computedChecksum));
    return header.computedChecksum;
}

} // namespace ImageHeader
