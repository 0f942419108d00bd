#include "PatchFile.h"

#include "ImageHeader.h"
#include "RomError.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

namespace Patch {
namespace {

constexpr std::string_view BpsMark = "BPS1", IpsMark = "PATCH", IpsEnd = "EOF";

bool startsWith(ByteView bytes, std::string_view mark)
{
    return bytes.size() >= mark.size() && std::memcmp(bytes.data(), mark.data(), mark.size()) == 0;
}

[[noreturn]] void damaged(const std::string &why)
{
    throw RomError(why);
}

// The patch's bytes read in order, each read checked against its end.
class Cursor {
public:
    Cursor(ByteView bytes, const char *format) : m_bytes(bytes), m_format(format) {}
    std::size_t at() const { return m_at; }
    std::size_t left() const { return m_bytes.size() - m_at; }
    void need(std::uint64_t count) const
    {
        if (count > left())
            damaged(fmt::format("The {} patch is cut short: it ends at byte {} inside a record that needs {} more.",
                                m_format, m_bytes.size(), count - left()));
    }
    std::uint8_t byte()
    {
        need(1);
        return m_bytes[m_at++];
    }
    ByteView take(std::uint64_t count)
    {
        need(count);
        const ByteView taken = m_bytes.subspan(m_at, std::size_t(count));
        m_at += std::size_t(count);
        return taken;
    }
    std::uint64_t bigEndian(int count)
    {
        std::uint64_t value = 0;
        for (const std::uint8_t b : take(std::uint64_t(count)))
            value = value << 8 | b;
        return value;
    }
    // BPS's numbers: seven bits a byte, the last byte marked by its top bit,
    // each longer form starting where the shorter ones end.
    std::uint64_t number()
    {
        std::uint64_t value = 0, shift = 1;
        for (;;) {
            const std::uint8_t b = byte();
            value += (b & 0x7F) * shift;
            if (b & 0x80)
                return value;
            if (shift > (std::uint64_t(1) << 48))
                damaged(fmt::format("The BPS patch holds a number too large for any image at byte {}.", m_at));
            shift <<= 7;
            value += shift;
        }
    }

private:
    ByteView m_bytes;
    const char *m_format;
    std::size_t m_at = 0;
};

std::uint32_t littleEndian32(ByteView bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16
         | std::uint32_t(bytes[3]) << 24;
}

void requireReach(std::uint64_t end, const char *what)
{
    if (end > std::uint64_t(FurthestReach))
        damaged(fmt::format("The patch {} up to byte {}, past 16 MiB, further than any image of the game.", what, end));
}

// Walks a BPS patch's actions. With a source and a target it makes the
// image; without, it checks that every action stays inside both images.
Contents walkBps(ByteView patch, const ByteView *source, Bytes *target)
{
    constexpr std::size_t Footer = 12;
    if (patch.size() < BpsMark.size() + 3 + Footer)
        damaged(fmt::format("The BPS patch is cut short: {} bytes cannot hold its sizes and checksums.", patch.size()));
    const ByteView footer = patch.last(Footer);
    const std::uint32_t stored = littleEndian32(footer.subspan(8));
    const std::uint32_t made = ImageHeader::crc32(patch.first(patch.size() - 4));
    if (stored != made)
        damaged(fmt::format("The BPS patch is damaged or cut short: its own CRC-32 says {:08X}, its bytes give {:08X}.",
                            stored, made));
    Contents contents;
    contents.format = Format::Bps;
    contents.sourceCrc = littleEndian32(footer.subspan(0));
    contents.targetCrc = littleEndian32(footer.subspan(4));
    Cursor cursor(patch.first(patch.size() - Footer), "BPS");
    cursor.take(BpsMark.size());
    const std::uint64_t sourceSize = cursor.number(), targetSize = cursor.number();
    requireReach(sourceSize, "reads an image");
    requireReach(targetSize, "makes an image");
    contents.sourceSize = std::int64_t(sourceSize);
    contents.targetSize = std::int64_t(targetSize);
    const ByteView metadata = cursor.take(cursor.number());
    contents.metadata.assign(metadata.begin(), metadata.end());
    if (source && source->size() != sourceSize)
        damaged(fmt::format("The BPS patch is for an image of {} bytes; this one has {}.", sourceSize, source->size()));
    if (source && ImageHeader::crc32(*source) != contents.sourceCrc)
        damaged(fmt::format("The BPS patch is for the image whose CRC-32 is {:08X}; this one's is {:08X}.",
                            contents.sourceCrc, ImageHeader::crc32(*source)));
    if (target)
        target->assign(std::size_t(targetSize), 0);
    std::uint64_t out = 0;
    std::int64_t sourceAt = 0, targetAt = 0;
    const auto outside = [&](const char *what) {
        damaged(fmt::format("The BPS patch is damaged: an action at byte {} {}.", cursor.at(), what));
    };
    while (cursor.left() > 0) {
        const std::uint64_t command = cursor.number();
        const std::uint64_t length = (command >> 2) + 1;
        if (length > targetSize - out)
            outside("writes past the end of the image it makes");
        switch (command & 3) {
        case 0:  // the source's bytes at the same place
            if (out + length > sourceSize)
                outside("reads past the end of the image it takes");
            if (target)
                std::copy_n(source->begin() + std::ptrdiff_t(out), length, target->begin() + std::ptrdiff_t(out));
            break;
        case 1: {  // bytes from the patch
            const ByteView bytes = cursor.take(length);
            if (target)
                std::copy(bytes.begin(), bytes.end(), target->begin() + std::ptrdiff_t(out));
            break;
        }
        case 2:
        case 3: {  // bytes copied from elsewhere in the source, or earlier in the target
            const bool fromSource = (command & 3) == 2;
            const std::uint64_t step = cursor.number();
            std::int64_t &from = fromSource ? sourceAt : targetAt;
            const std::int64_t distance = std::int64_t(step >> 1);
            from += (step & 1) ? -distance : distance;
            const std::int64_t limit = fromSource ? std::int64_t(sourceSize) : std::int64_t(out);
            // A copy within the target may overlap what it writes, byte by byte.
            if (from < 0 || (fromSource ? from + std::int64_t(length) > limit : from >= limit))
                outside(fromSource ? "copies from outside the image it takes" : "copies from bytes not made yet");
            if (target)
                for (std::uint64_t k = 0; k < length; ++k)
                    (*target)[std::size_t(out + k)] =
                        fromSource ? (*source)[std::size_t(from) + k] : (*target)[std::size_t(from) + k];
            from += std::int64_t(length);
            break;
        }
        }
        out += length;
    }
    if (out != targetSize)
        damaged(fmt::format("The BPS patch is cut short: its actions make {} of the {} bytes it promises.", out,
                            targetSize));
    if (target && ImageHeader::crc32(*target) != contents.targetCrc)
        damaged(fmt::format("The BPS patch made an image whose CRC-32 is {:08X}, not the {:08X} it promises.",
                            ImageHeader::crc32(*target), contents.targetCrc));
    return contents;
}

// Walks an IPS patch's records, writing them into the target where given.
Contents walkIps(ByteView patch, Bytes *target)
{
    Contents contents;
    contents.format = Format::Ips;
    Cursor cursor(patch, "IPS");
    cursor.take(IpsMark.size());
    for (;;) {
        if (cursor.left() >= IpsEnd.size() && startsWith(patch.subspan(cursor.at()), IpsEnd)) {
            cursor.take(IpsEnd.size());
            break;
        }
        const std::uint64_t offset = cursor.bigEndian(3);
        std::uint64_t length = cursor.bigEndian(2);
        ByteView bytes;
        std::optional<std::uint8_t> run;
        if (length == 0) {
            length = cursor.bigEndian(2);
            run = cursor.byte();
            if (length == 0)
                damaged(fmt::format("The IPS patch is damaged: a run of no bytes at byte {}.", cursor.at() - 5));
        } else {
            bytes = cursor.take(length);
        }
        requireReach(offset + length, "writes");
        contents.records.push_back({std::int64_t(offset), std::int64_t(length)});
        contents.bytesWritten += std::int64_t(length);
        if (target) {
            if (target->size() < offset + length)
                target->resize(std::size_t(offset + length), 0);
            if (run)
                std::fill_n(target->begin() + std::ptrdiff_t(offset), length, *run);
            else
                std::copy(bytes.begin(), bytes.end(), target->begin() + std::ptrdiff_t(offset));
        }
    }
    if (cursor.left() == 3) {
        contents.truncatedTo = std::int64_t(cursor.bigEndian(3));
        if (target)
            target->resize(std::size_t(*contents.truncatedTo), 0);
    } else if (cursor.left() != 0) {
        damaged(fmt::format("The IPS patch is damaged: {} bytes follow its end mark.", cursor.left()));
    }
    return contents;
}

} // namespace

std::optional<Format> formatOf(ByteView start)
{
    if (startsWith(start, BpsMark))
        return Format::Bps;
    if (startsWith(start, IpsMark))
        return Format::Ips;
    return std::nullopt;
}

Contents read(ByteView patch)
{
    const std::optional<Format> format = formatOf(patch);
    if (!format)
        damaged("It is not a patch: it starts with neither \"BPS1\" nor \"PATCH\".");
    return *format == Format::Bps ? walkBps(patch, nullptr, nullptr) : walkIps(patch, nullptr);
}

Bytes apply(ByteView patch, ByteView source)
{
    read(patch);  // every record checked before anything is made
    Bytes target;
    if (*formatOf(patch) == Format::Bps) {
        walkBps(patch, &source, &target);
    } else {
        target.assign(source.begin(), source.end());
        walkIps(patch, &target);
    }
    return target;
}

} // namespace Patch
