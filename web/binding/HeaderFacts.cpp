#include "HeaderFacts.h"

#include "ImageHeader.h"
#include "Utf8.h"

namespace HeaderFacts {

Facts of(ByteView data)
{
    using namespace ImageHeader;
    // Little-endian, or nothing where the data end first.
    const auto word = [&](std::size_t at) -> std::optional<std::uint16_t> {
        if (data.size() < at + 2)
            return std::nullopt;
        return std::uint16_t(data[at] | data[at + 1] << 8);
    };
    Facts facts;
    if (data.size() >= std::size_t(TitleAt + TitleLength))
        facts.title = Utf8::fromLatin1(textOf(data.subspan(TitleAt, TitleLength)));
    facts.storedComplement = word(ComplementAt);
    facts.storedChecksum = word(ChecksumAt);
    facts.computedChecksum = computeChecksum(data);
    facts.checksumValid = facts.storedChecksum && facts.storedComplement
                          && (*facts.storedChecksum ^ *facts.storedComplement) == 0xFFFF
                          && *facts.storedChecksum == facts.computedChecksum;
    return facts;
}

} // namespace HeaderFacts
