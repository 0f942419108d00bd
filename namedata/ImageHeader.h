#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The cartridge's own header, its checksum, and the copier header some images
// carry in front of the cartridge data. Unless a function says otherwise,
// `data` is the cartridge data: the image with any copier header taken off.
namespace ImageHeader {

inline constexpr int CopierHeaderSize = 512;

// Offsets in the cartridge data. The header proper ends at End.
inline constexpr int TitleAt = 0xFFC0, TitleLength = 21, MapModeAt = 0xFFD5,
                     ComplementAt = 0xFFDC, ChecksumAt = 0xFFDE, End = 0xFFE0;

// The checksum the cartridge header should hold: the 16-bit sum of every
// byte, with the four stored bytes at ComplementAt counted as FF FF 00 00
// (the sum of any sound pair), so the value does not depend on what is
// stored there. A size that is not a power of two counts as its largest
// power-of-two part plus the rest, the rest repeated up to that part's size.
quint16 computeChecksum(const QByteArray &data);

// zlib's CRC-32 of the bytes.
quint32 crc32(const QByteArray &data);

// What the cartridge header says. A field that does not lie wholly inside the
// data is absent.
struct Report {
    std::optional<QString> title;  // TitleLength characters, Latin-1, blanks kept
    std::optional<quint8> mapMode;
    std::optional<quint16> storedChecksum;
    std::optional<quint16> storedComplement;
    quint16 computedChecksum = 0;
    // Both stored, complementing each other, and the checksum equals the
    // computed one.
    bool checksumValid = false;
    quint32 crc32 = 0;
};

Report inspect(const QByteArray &data);

// The four bytes to store at ComplementAt for this checksum: the complement,
// then the checksum, each little-endian.
QByteArray soundPair(quint16 checksum);

} // namespace ImageHeader
