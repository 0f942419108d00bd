#include "ImageHeader.h"

#include "Image.h"
#include "Utf8.h"

#include <fmt/format.h>

#if defined(ORVANE_HAVE_ISAL)
#include <isa-l/crc.h>
#elif defined(ORVANE_HAVE_ZLIB)
#include <zlib.h>
#endif

#include <algorithm>
#include <array>
#include <bit>

namespace ImageHeader {

namespace {

// The checksum pair as the checksum counts it, whatever is stored there.
constexpr std::array<std::uint8_t, 4> CountedPair = {0xFF, 0xFF, 0x00, 0x00};

// The cartridge data, held whole or read from an image a piece at a time, so
// that a report on an image needs no copy of it in memory.
class Data {
public:
    virtual ~Data() = default;
    virtual std::uint64_t size() const = 0;
    // Up to length bytes from offset; valid until the next call.
    virtual ByteView view(std::uint64_t offset, std::size_t length) = 0;
};

class Held : public Data {
public:
    explicit Held(ByteView data) : m_data(data) {}
    std::uint64_t size() const override { return m_data.size(); }
    ByteView view(std::uint64_t offset, std::size_t length) override
    {
        if (offset >= m_data.size())
            return {};
        return m_data.subspan(std::size_t(offset), std::size_t(std::min<std::uint64_t>(length, m_data.size() - offset)));
    }

private:
    ByteView m_data;
};

class Behind : public Data {
public:
    explicit Behind(const Image &rom)
        : m_rom(rom), m_size(std::uint64_t(std::max<std::int64_t>(0, rom.size() - headerBytes(rom)))) {}
    std::uint64_t size() const override { return m_size; }
    ByteView view(std::uint64_t offset, std::size_t length) override
    {
        m_piece = m_rom.read(CopierHeaderSize + std::int64_t(offset), std::int64_t(length));
        return m_piece;
    }

private:
    const Image &m_rom;
    std::uint64_t m_size;
    Bytes m_piece;
};

// Pieces small enough to stay in the processor's cache.
constexpr std::size_t Piece = 1 << 16;

// The plain sum of data[from, to), with the stored pair's bytes that fall in
// that range counted as CountedPair.
std::uint64_t sumRange(Data &data, std::uint64_t from, std::uint64_t to)
{
    std::uint64_t sum = 0;
    for (std::uint64_t start = from; start < to; start += Piece) {
        const ByteView piece = data.view(start, std::size_t(std::min<std::uint64_t>(Piece, to - start)));
        // A piece's sum cannot overflow 32 bits, and the compiler turns the
        // loop into vector additions.
        std::uint32_t pieceSum = 0;
        for (const std::uint8_t byte : piece)
            pieceSum += byte;
        sum += pieceSum;
        for (std::uint64_t k = 0; k < 4; ++k) {
            const std::uint64_t at = ComplementAt + k;
            if (at >= start && at < start + piece.size())
                sum = sum - piece[std::size_t(at - start)] + CountedPair[k];
        }
    }
    return sum;
}

struct Folded {
    std::uint64_t sum;
    std::uint64_t length;  // the power of two the range counts as
};

// data[from, from + size) by the size rule: the largest power-of-two part,
// plus the rest folded the same way and then doubled up to that part's size.
Folded fold(Data &data, std::uint64_t from, std::uint64_t size)
{
    const std::uint64_t part = std::bit_floor(size);
    const std::uint64_t sum = sumRange(data, from, from + part);
    if (part == size)
        return {sum, part};
    Folded rest = fold(data, from + part, size - part);
    while (rest.length < part) {
        rest.sum *= 2;
        rest.length *= 2;
    }
    return {sum + rest.sum, 2 * part};
}

std::optional<std::uint16_t> word(ByteView header, std::size_t at)
{
    if (header.size() < at - TitleAt + 2)
        return std::nullopt;
    return std::uint16_t(header[at - TitleAt] | header[at - TitleAt + 1] << 8);
}

std::uint16_t checksumOf(Data &data)
{
    return data.size() == 0 ? 0 : std::uint16_t(fold(data, 0, data.size()).sum);
}

// The CRC-32 of the data, and of the copier header followed by the data,
// from one read of each piece.
void crcOf(Data &data, ByteView copierHeader, Report &report)
{
    std::uint32_t crc = 0, whole = crc32(copierHeader);
    for (std::uint64_t start = 0; start < data.size(); start += Piece) {
        const ByteView piece = data.view(start, Piece);
        crc = crc32(piece, crc);
        if (!copierHeader.empty())
            whole = crc32(piece, whole);
    }
    report.crc32 = crc;
    report.fileCrc32 = copierHeader.empty() ? crc : whole;
}

Report inspect(Data &data, Crc crc, ByteView copierHeader = {})
{
    Report report;
    const ByteView view = data.view(TitleAt, End - TitleAt);
    const Bytes header(view.begin(), view.end());
    if (header.size() >= std::size_t(TitleLength))
        report.title = titleText(ByteView(header).first(TitleLength));
    if (header.size() > std::size_t(MapModeAt - TitleAt))
        report.mapMode = header[MapModeAt - TitleAt];
    report.storedComplement = word(header, ComplementAt);
    report.storedChecksum = word(header, ChecksumAt);
    report.computedChecksum = checksumOf(data);
    report.checksumValid = report.storedChecksum && report.storedComplement
                           && (*report.storedChecksum ^ *report.storedComplement) == 0xFFFF
                           && *report.storedChecksum == report.computedChecksum;
    if (crc == Crc::Make)
        crcOf(data, copierHeader, report);
    return report;
}

} // namespace

std::uint16_t computeChecksum(ByteView data)
{
    Held held(data);
    return checksumOf(held);
}

std::uint16_t computeChecksum(const Image &rom)
{
    Behind behind(rom);
    return checksumOf(behind);
}

std::uint32_t crc32Portable(ByteView data, std::uint32_t crc)
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
    crc ^= 0xFFFFFFFFu;
    for (const std::uint8_t byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t crc32(ByteView data, std::uint32_t crc)
{
#if defined(ORVANE_HAVE_ISAL)
    // With the processor's carry-less multiplication where it has one.
    return ::crc32_gzip_refl(crc, data.data(), data.size());
#elif defined(ORVANE_HAVE_ZLIB)
    return std::uint32_t(::crc32_z(crc, data.data(), z_size_t(data.size())));
#else
    return crc32Portable(data, crc);
#endif
}

Report inspect(ByteView data, Crc crc)
{
    Held held(data);
    return inspect(held, crc);
}

Report inspect(const Image &rom)
{
    Behind behind(rom);
    const Bytes copierHeader = rom.read(-rom.offsetShift(), std::min(headerBytes(rom), rom.size()));
    return inspect(behind, Crc::Make, copierHeader);
}

std::string titleText(ByteView bytes)
{
    Bytes title(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min<std::size_t>(bytes.size(), TitleLength)));
    title.resize(TitleLength, 0);
    return Utf8::fromLatin1(textOf(title));
}

std::string title(const Image &rom)
{
    return titleText(rom.read(CopierHeaderSize + TitleAt, TitleLength));
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
    if (tooLarge(size))
        return fmt::format("The image is {} bytes long, larger than any cartridge image.", size);
    const std::int64_t behind = size - headerBytes(rom);
    return behind < End ? "The image is " + tooShort(behind) : std::string();
}

std::optional<std::uint16_t> makeChecksumSound(Image &rom)
{
    const Report header = inspect(rom);
    if (header.checksumValid)
        return std::nullopt;
    rom.writeField(CopierHeaderSize + ComplementAt, soundPair(header.computedChecksum));
    return header.computedChecksum;
}

} // namespace ImageHeader
