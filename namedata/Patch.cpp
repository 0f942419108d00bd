#include "Patch.h"

#include "ImageHeader.h"
#include "RomError.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

namespace Patch {

namespace {

void requireSameSize(ByteView source, ByteView target)
{
    if (source.size() != target.size())
        throw RomError(fmt::format("The two images differ in size ({} and {} bytes); "
                                   "a patch can only be made between images of the same size.",
                                   source.size(), target.size()));
}

// The first offset at or after `from` where a and b differ, or n.
std::size_t nextDifference(const std::uint8_t *a, const std::uint8_t *b, std::size_t from, std::size_t n)
{
    std::size_t i = from;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y)
            break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// Calls changed(start, end) for each run of changed bytes, in order. An equal
// gap of at most foldGap bytes between two changes stays inside the run: it
// costs less to carry those bytes than to start a new run after them.
template <typename Changed>
void forEachChangedRun(ByteView source, ByteView target, std::size_t foldGap, Changed changed)
{
    const std::uint8_t *a = source.data();
    const std::uint8_t *b = target.data();
    const std::size_t n = source.size();
    for (std::size_t start = nextDifference(a, b, 0, n); start < n;) {
        std::size_t end = start;
        for (;;) {
            while (end < n && a[end] != b[end])
                ++end;
            const std::size_t limit = std::min(n, end + foldGap + 1);
            std::size_t next = end;
            while (next < limit && a[next] == b[next])
                ++next;
            if (next == limit)
                break;
            end = next;
        }
        changed(start, end);
        start = nextDifference(a, b, end, n);
    }
}

void putLittleEndian32(Bytes &out, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(std::uint8_t(value >> (8 * k)));
}

void append(Bytes &out, const std::uint8_t *bytes, std::size_t length)
{
    out.insert(out.end(), bytes, bytes + length);
}

void append(Bytes &out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

// BPS numbers: seven bits a byte, low first, the last byte marked by its high
// bit; each byte before it takes one off what is left, so every number has
// exactly one encoding.
void putBpsNumber(Bytes &out, std::uint64_t value)
{
    for (;;) {
        const auto low = std::uint8_t(value & 0x7F);
        value >>= 7;
        if (value == 0) {
            out.push_back(std::uint8_t(low | 0x80));
            return;
        }
        out.push_back(low);
        --value;
    }
}

enum BpsAction : std::uint64_t { SourceRead = 0, TargetRead = 1 };

void putBpsAction(Bytes &out, BpsAction action, std::size_t length)
{
    putBpsNumber(out, std::uint64_t(length - 1) << 2 | action);
}

// A source read and the target read after it take at least a byte each.
constexpr std::size_t BpsFoldGap = 1;

// Every record costs five bytes before its data.
constexpr std::size_t IpsFoldGap = 4;
constexpr std::size_t IpsLimit = 0x1000000;
constexpr std::size_t IpsLongestRecord = 0xFFFF;
// The offset that reads as the "EOF" marker.
constexpr std::size_t IpsEndMarkerOffset = 0x454F46;

} // namespace

Bytes makeBps(ByteView source, ByteView target)
{
    requireSameSize(source, target);
    const std::size_t size = target.size();
    Bytes patch;
    patch.reserve(256);
    append(patch, "BPS1");
    putBpsNumber(patch, size);
    putBpsNumber(patch, size);
    putBpsNumber(patch, 0);  // no metadata

    std::size_t written = 0;
    forEachChangedRun(source, target, BpsFoldGap, [&](std::size_t start, std::size_t end) {
        if (start > written)
            putBpsAction(patch, SourceRead, start - written);
        putBpsAction(patch, TargetRead, end - start);
        append(patch, target.data() + start, end - start);
        written = end;
    });
    if (size > written)
        putBpsAction(patch, SourceRead, size - written);

    putLittleEndian32(patch, ImageHeader::crc32(source));
    putLittleEndian32(patch, ImageHeader::crc32(target));
    putLittleEndian32(patch, ImageHeader::crc32(patch));
    return patch;
}

Bytes makeIps(ByteView source, ByteView target)
{
    requireSameSize(source, target);
    if (target.size() > IpsLimit)
        throw RomError(fmt::format("The image is {} bytes long, and an IPS patch reaches only "
                                   "the first 16 MiB; use BPS for this image.",
                                   target.size()));
    Bytes patch;
    patch.reserve(256);
    append(patch, "PATCH");
    forEachChangedRun(source, target, IpsFoldGap, [&](std::size_t start, std::size_t end) {
        for (std::size_t at = start; at < end;) {
            // A record there would read as the end of the patch: start it a
            // byte earlier, carrying the target's byte, which is right even
            // where the record before has just written it.
            const std::size_t from = at == IpsEndMarkerOffset ? at - 1 : at;
            const std::size_t length = std::min(end - from, IpsLongestRecord);
            const std::uint8_t header[5] = {std::uint8_t(from >> 16), std::uint8_t(from >> 8), std::uint8_t(from),
                                            std::uint8_t(length >> 8), std::uint8_t(length)};
            append(patch, header, 5);
            append(patch, target.data() + from, length);
            at = from + length;
        }
    });
    append(patch, "EOF");
    return patch;
}

const char *name(Format format)
{
    return format == Format::Bps ? "BPS" : "IPS";
}

std::string pairRefusal(const Side &original, const Side &edited)
{
    if (original.headered != edited.headered)
        return fmt::format("{} has a copier header and {} has none; remove or add one so that both are alike.",
                           original.headered ? original.name : edited.name,
                           original.headered ? edited.name : original.name);
    if (original.size != edited.size)
        return fmt::format("{} is {} bytes long and {} is {}; a patch here is between images of one size.",
                           original.name, original.size, edited.name, edited.size);
    return {};
}

std::size_t headerKept(Format format, bool headered, bool keepHeader, bool dropHeader)
{
    if (!headered)
        return 0;
    const bool keep = format == Format::Ips ? !dropHeader : keepHeader;
    return keep ? std::size_t(ImageHeader::CopierHeaderSize) : 0;
}

Made make(Format format, ByteView original, ByteView edited, bool headered, std::size_t headerKept)
{
    // The bytes the patch applies to and makes.
    const std::size_t skip = headered ? ImageHeader::CopierHeaderSize - headerKept : 0;
    const ByteView source = original.subspan(std::min(skip, original.size()));
    const ByteView target = edited.subspan(std::min(skip, edited.size()));
    Made made;
    made.bytes = format == Format::Ips ? makeIps(source, target) : makeBps(source, target);
    for (std::size_t k = 0; k < source.size(); ++k)
        made.changed += source[k] != target[k];
    made.sourceCrc = ImageHeader::crc32(source);
    made.headered = headered;
    made.headerKept = headerKept;
    const auto behind = [&](ByteView data) { return data.subspan(std::min(headerKept, data.size())); };
    made.checksumBroken = checksumBroken(behind(source), behind(target));
    return made;
}

bool checksumBroken(ByteView original, ByteView edited)
{
    return ImageHeader::inspect(original, ImageHeader::Crc::Skip).checksumValid
           && !ImageHeader::inspect(edited, ImageHeader::Crc::Skip).checksumValid;
}

std::string summary(Format format, const Made &made)
{
    const char *image = !made.headered        ? "the image"
                        : made.headerKept > 0 ? "the image with its copier header"
                                              : "the image behind its copier header";
    return fmt::format("{} patch of {} bytes for {} changed byte(s); it applies to {}, whose CRC-32 is {:08X}.",
                       name(format), made.bytes.size(), made.changed, image, made.sourceCrc);
}

} // namespace Patch
