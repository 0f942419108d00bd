#include "CopierHeader.h"

#include "Image.h"
#include "ImageHeader.h"

#include <algorithm>

namespace CopierHeader {
namespace {

using ImageHeader::TitleAt;

std::uint16_t word(ByteView header, int at)
{
    return std::uint16_t(header[std::size_t(at - TitleAt)] | header[std::size_t(at - TitleAt + 1)] << 8);
}

// Complement then checksum, each little-endian, complementing each other.
bool soundPair(ByteView header)
{
    if (header.size() < std::size_t(ImageHeader::End - TitleAt))
        return false;
    return (word(header, ImageHeader::ComplementAt) ^ word(header, ImageHeader::ChecksumAt)) == 0xFFFF;
}

// An image read as another layout would read it: offsets moved by shift
// instead of the image's own.
class LaidOut : public Image {
public:
    LaidOut(const Image &image, std::int64_t shift) : m_image(image) { m_shift = shift; }
    std::int64_t size() const override { return m_image.size(); }
    Bytes read(std::int64_t offset, std::int64_t length) const override
    {
        return m_image.read(offset + m_shift - m_image.offsetShift(), length);
    }
    void requireInside(std::int64_t, std::int64_t) const override { fail("The image is only being looked at."); }
    void writeField(std::int64_t, ByteView) override { fail("The image is only being looked at."); }
    void sync() override {}

private:
    const Image &m_image;
};

std::int64_t shiftFor(bool headered)
{
    return headered ? 0 : -ImageHeader::CopierHeaderSize;
}

} // namespace

bool plausible(ByteView header)
{
    if (header.size() < std::size_t(ImageHeader::End - TitleAt))
        return false;
    const ByteView title = header.first(ImageHeader::TitleLength);
    const bool printable = std::all_of(title.begin(), title.end(), [](std::uint8_t c) {
        return (c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF);  // ASCII, or half-width kana
    });
    const bool named = std::any_of(title.begin(), title.end(), [](std::uint8_t c) { return c != 0x20; });
    return printable && named;
}

Decision decide(std::int64_t fileSize, const Places &places, const ChecksumMatches &checksumMatches,
                std::optional<bool> given)
{
    // Where exactly one of the two places holds what is asked for, whether
    // that place is the headered one.
    const auto onlyOne = [](bool atHeadered, bool atHeaderless) {
        return atHeadered != atHeaderless ? std::optional<bool>(atHeadered) : std::nullopt;
    };
    const bool soundHeadered = soundPair(places.ifHeadered), soundHeaderless = soundPair(places.ifHeaderless);
    // A header that looks like one: nothing this tool writes changes that.
    const std::optional<bool> lookingRight = onlyOne(soundHeadered && plausible(places.ifHeadered),
                                                     soundHeaderless && plausible(places.ifHeaderless));
    const bool sizeTells = fileSize % 1024 == ImageHeader::CopierHeaderSize || fileSize % 1024 == 0;
    // A bare sound pair speaks only where the size says nothing, so that a pair
    // in the data by accident cannot overrule the size. Whether the checksum
    // matches decides nothing: a name edit changes the sum, and an image must
    // read the same before and after it.
    const std::optional<bool> pairOnly = sizeTells ? std::nullopt : onlyOne(soundHeadered, soundHeaderless);
    Decision decision;
    decision.internalHeader = lookingRight ? lookingRight : pairOnly;
    if (given) {
        decision.headered = *given;
        decision.evidence = Evidence::Option;
        if (!lookingRight && sizeTells)
            decision.sizeSays = fileSize % 1024 != 0;
        // Only an option that goes against the header needs to know how
        // strong the header is.
        if (decision.contradicted())
            decision.checksumMatches = checksumMatches(*decision.internalHeader);
    } else if (lookingRight) {
        decision.headered = *lookingRight;
        decision.evidence = Evidence::InternalHeader;
    } else if (sizeTells) {
        decision.headered = fileSize % 1024 != 0;
        decision.evidence = Evidence::Size;
    } else if (pairOnly) {
        decision.headered = *pairOnly;
        decision.evidence = Evidence::InternalHeader;
    }
    return decision;
}

Decision decide(const Image &rom, std::optional<bool> given)
{
    const auto headerAt = [&](bool headered) {
        return LaidOut(rom, shiftFor(headered))
            .read(ImageHeader::CopierHeaderSize + TitleAt, ImageHeader::End - TitleAt);
    };
    const Bytes ifHeadered = headerAt(true), ifHeaderless = headerAt(false);
    const auto checksumMatches = [&](bool headered) {
        // No image is that large, and summing one would take long.
        if (ImageHeader::tooLarge(rom.size()))
            return false;
        const Bytes header = headered ? ifHeadered : ifHeaderless;
        const LaidOut laidOut(rom, shiftFor(headered));
        return word(header, ImageHeader::ChecksumAt) == ImageHeader::computeChecksum(laidOut);
    };
    return decide(rom.size(), {ifHeadered, ifHeaderless}, checksumMatches, given);
}

void lay(Image &rom, const Decision &decision)
{
    rom.setOffsetShift(shiftFor(decision.headered));
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
