#include "CopierHeader.h"

#include "ImageHeader.h"
#include "Image.h"

namespace CopierHeader {
namespace {

// Complement then checksum, each little-endian, complementing each other.
bool soundPair(ByteView pair)
{
    if (pair.size() < 4)
        return false;
    const auto word = [&](std::size_t at) { return std::uint16_t(pair[at] | pair[at + 1] << 8); };
    return (word(0) ^ word(2)) == 0xFFFF;
}

} // namespace

// The evidence, in the order it is trusted:
// 1. what the user said (--headered, --headerless);
// 2. the internal header's checksum pair, when it is sound at exactly one of
//    the two places it can lie (name edits never touch it, so it holds on an
//    edited image too);
// 3. the size: 512 past a multiple of 1024 has a header, a multiple has none;
// 4. anything else is taken as headered, and the caller says it assumed so.
Decision decide(std::int64_t fileSize, ByteView pairIfHeadered, ByteView pairIfHeaderless,
                std::optional<bool> given)
{
    Decision decision;
    const bool atHeadered = soundPair(pairIfHeadered), atHeaderless = soundPair(pairIfHeaderless);
    if (atHeadered != atHeaderless)
        decision.internalHeader = atHeadered;
    if (given) {
        decision.headered = *given;
        decision.evidence = Evidence::Option;
    } else if (decision.internalHeader) {
        decision.headered = *decision.internalHeader;
        decision.evidence = Evidence::InternalHeader;
    } else if (fileSize % 1024 == ImageHeader::CopierHeaderSize || fileSize % 1024 == 0) {
        decision.headered = fileSize % 1024 != 0;
        decision.evidence = Evidence::Size;
    }
    return decision;
}

Decision decide(const Image &rom, std::optional<bool> given)
{
    // File offsets, whatever shift the image was opened with.
    const auto pairAt = [&](std::int64_t fileOffset) { return rom.read(fileOffset - rom.offsetShift(), 4); };
    constexpr std::int64_t pair = ImageHeader::ComplementAt;
    return decide(rom.size(), pairAt(ImageHeader::CopierHeaderSize + pair), pairAt(pair), given);
}

void lay(Image &rom, const Decision &decision)
{
    rom.setOffsetShift(decision.headered ? 0 : -ImageHeader::CopierHeaderSize);
}

const char *word(Evidence evidence)
{
    switch (evidence) {
    case Evidence::Option: return "option";
    case Evidence::InternalHeader: return "internal header";
    case Evidence::Size: return "size";
    case Evidence::Assumed: return "assumed";
    }
    return "assumed";
}

} // namespace CopierHeader
