#pragma once

#include "Bytes.h"

// Patches that turn one image into another of the same size. Each maker
// refuses, with RomError, images of different sizes.
namespace Patch {

// A BPS patch made of source reads (unchanged runs) and target reads
// (changed bytes), with the CRC-32s of source, target and patch.
Bytes makeBps(ByteView source, ByteView target);

// An IPS patch of plain records. IPS offsets stop at 0xFFFFFF, so images
// larger than 16 MiB are refused too.
Bytes makeIps(ByteView source, ByteView target);

} // namespace Patch
