#pragma once

#include <QByteArray>

// Patches that turn one image into another of the same size. Each maker
// refuses, with RomError, images of different sizes.
namespace Patch {

// A BPS patch made of source reads (unchanged runs) and target reads
// (changed bytes), with the CRC-32s of source, target and patch.
QByteArray makeBps(const QByteArray &source, const QByteArray &target);

// An IPS patch of plain records. IPS offsets stop at 0xFFFFFF, so images
// larger than 16 MiB are refused too.
QByteArray makeIps(const QByteArray &source, const QByteArray &target);

} // namespace Patch
