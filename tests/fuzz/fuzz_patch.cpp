// libFuzzer target: reading a patch and applying it to a 512-byte image, on any
// bytes. It must never crash, and what it accepts must be whole: a BPS made
// image has the CRC-32 it promises and the size it says. The fuzzer's BPS
// inputs get their own checksums set right first, so its runs reach the
// actions behind them instead of stopping at the patch's CRC-32.
#include "ImageHeader.h"
#include "PatchFile.h"
#include "RomError.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

const Bytes &source()
{
    static const Bytes bytes = [] {
        Bytes b(512);
        for (std::size_t k = 0; k < b.size(); ++k)
            b[k] = std::uint8_t(k * 7 + (k >> 9));
        return b;
    }();
    return bytes;
}

void putCrc(Bytes &bytes, std::size_t at, std::uint32_t crc)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + std::size_t(k)] = std::uint8_t(crc >> (8 * k));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Bytes patch(data, data + size);
    const bool bps = Patch::formatOf(patch) == Patch::Format::Bps;
    if (bps && patch.size() >= 19) {
        putCrc(patch, patch.size() - 12, ImageHeader::crc32(source()));
        putCrc(patch, patch.size() - 4, ImageHeader::crc32(ByteView(patch).first(patch.size() - 4)));
    }
    try {
        const Patch::Contents contents = Patch::read(patch);
        // Making an image of megabytes costs a run a millisecond and finds
        // nothing that a short one does not.
        std::int64_t reach = contents.targetSize;
        for (const Patch::Span &span : contents.records)
            reach = std::max(reach, span.offset + span.length);
        if (reach > 65536)
            return 0;
        const Bytes made = Patch::apply(patch, source());
        if (bps && (std::int64_t(made.size()) != contents.targetSize || ImageHeader::crc32(made) != contents.targetCrc))
            std::abort();
        if (made.size() > std::size_t(Patch::FurthestReach))
            std::abort();
    } catch (const RomError &) {
    }
    return 0;
}
