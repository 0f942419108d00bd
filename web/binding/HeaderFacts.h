#pragma once

#include "Bytes.h"

#include <cstdint>
#include <optional>
#include <string>

// What the page shows of the cartridge header when an image opens: the
// report of ImageHeader::inspect without its CRC-32. The page does not show
// the CRC, and in a build without zlib the core makes it a byte at a time,
// which costs as much again as the checksum does, on every open.
namespace HeaderFacts {

struct Facts {
    std::optional<std::string> title;  // Latin-1 as UTF-8, blanks kept
    std::optional<std::uint16_t> storedChecksum;
    std::optional<std::uint16_t> storedComplement;
    std::uint16_t computedChecksum = 0;
    bool checksumValid = false;        // as inspect's report says it
};

// data: the cartridge data, behind any copier header.
Facts of(ByteView data);

} // namespace HeaderFacts
