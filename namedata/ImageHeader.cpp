#include "ImageHeader.h"

#include <zlib.h>

#include <array>
#include <bit>

namespace ImageHeader {

namespace {

// The checksum pair as the checksum counts it, whatever is stored there.
constexpr std::array<quint8, 4> CountedPair = {0xFF, 0xFF, 0x00, 0x00};

// The plain sum of data[from, to), with the stored pair's bytes that fall in
// that range counted as CountedPair.
quint64 sumRange(const QByteArray &data, qsizetype from, qsizetype to)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(data.constData());
    quint64 sum = 0;
    for (qsizetype i = from; i < to; ++i)
        sum += bytes[i];
    for (qsizetype k = 0; k < 4; ++k) {
        const qsizetype at = ComplementAt + k;
        if (at >= from && at < to)
            sum = sum - bytes[at] + CountedPair[static_cast<std::size_t>(k)];
    }
    return sum;
}

struct Folded {
    quint64 sum;
    quint64 length;  // the power of two the range counts as
};

// data[from, from + size) by the size rule: the largest power-of-two part,
// plus the rest folded the same way and then doubled up to that part's size.
Folded fold(const QByteArray &data, qsizetype from, quint64 size)
{
    const quint64 part = std::bit_floor(size);
    const quint64 sum = sumRange(data, from, from + qsizetype(part));
    if (part == size)
        return {sum, part};
    Folded rest = fold(data, from + qsizetype(part), size - part);
    while (rest.length < part) {
        rest.sum *= 2;
        rest.length *= 2;
    }
    return {sum + rest.sum, 2 * part};
}

std::optional<quint16> word(const QByteArray &data, int at)
{
    if (data.size() < at + 2)
        return std::nullopt;
    return quint16(quint8(data[at]) | quint8(data[at + 1]) << 8);
}

} // namespace

quint16 computeChecksum(const QByteArray &data)
{
    if (data.isEmpty())
        return 0;
    return quint16(fold(data, 0, quint64(data.size())).sum);
}

quint32 crc32(const QByteArray &data)
{
    return quint32(::crc32_z(::crc32_z(0, nullptr, 0),
                             reinterpret_cast<const Bytef *>(data.constData()),
                             z_size_t(data.size())));
}

Report inspect(const QByteArray &data)
{
    Report report;
    if (data.size() >= TitleAt + TitleLength)
        report.title = QString::fromLatin1(data.constData() + TitleAt, TitleLength);
    if (data.size() > MapModeAt)
        report.mapMode = quint8(data[MapModeAt]);
    report.storedComplement = word(data, ComplementAt);
    report.storedChecksum = word(data, ChecksumAt);
    report.computedChecksum = computeChecksum(data);
    report.checksumValid = report.storedChecksum && report.storedComplement
                           && (*report.storedChecksum ^ *report.storedComplement) == 0xFFFF
                           && *report.storedChecksum == report.computedChecksum;
    report.crc32 = crc32(data);
    return report;
}

QByteArray soundPair(quint16 checksum)
{
    const quint16 complement = checksum ^ 0xFFFF;
    const char bytes[4] = {char(complement & 0xFF), char(complement >> 8),
                           char(checksum & 0xFF), char(checksum >> 8)};
    return QByteArray(bytes, 4);
}

} // namespace ImageHeader
