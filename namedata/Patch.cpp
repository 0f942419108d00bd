#include "Patch.h"

#include "ImageHeader.h"
#include "RomError.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace Patch {

namespace {

void requireSameSize(const QByteArray &source, const QByteArray &target)
{
    if (source.size() != target.size())
        throw RomError(QStringLiteral("The two images differ in size (%1 and %2 bytes); "
                                      "a patch can only be made between images of the same size.")
                           .arg(source.size())
                           .arg(target.size()));
}

// The first offset at or after `from` where a and b differ, or n.
qsizetype nextDifference(const char *a, const char *b, qsizetype from, qsizetype n)
{
    qsizetype i = from;
    for (; i + 8 <= n; i += 8) {
        quint64 x, y;
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
void forEachChangedRun(const QByteArray &source, const QByteArray &target, qsizetype foldGap,
                       Changed changed)
{
    const char *a = source.constData();
    const char *b = target.constData();
    const qsizetype n = source.size();
    for (qsizetype start = nextDifference(a, b, 0, n); start < n;) {
        qsizetype end = start;
        for (;;) {
            while (end < n && a[end] != b[end])
                ++end;
            const qsizetype limit = std::min(n, end + foldGap + 1);
            qsizetype next = end;
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

void putLittleEndian32(QByteArray &out, quint32 value)
{
    for (int k = 0; k < 4; ++k)
        out.append(char(value >> (8 * k)));
}

// BPS numbers: seven bits a byte, low first, the last byte marked by its high
// bit; each byte before it takes one off what is left, so every number has
// exactly one encoding.
void putBpsNumber(QByteArray &out, quint64 value)
{
    char bytes[10];
    int count = 0;
    for (;;) {
        const char low = char(value & 0x7F);
        value >>= 7;
        if (value == 0) {
            bytes[count++] = char(low | 0x80);
            break;
        }
        bytes[count++] = low;
        --value;
    }
    out.append(bytes, count);
}

enum BpsAction : quint64 { SourceRead = 0, TargetRead = 1 };

void putBpsAction(QByteArray &out, BpsAction action, qsizetype length)
{
    putBpsNumber(out, quint64(length - 1) << 2 | action);
}

// A source read and the target read after it take at least a byte each.
constexpr qsizetype BpsFoldGap = 1;

// Every record costs five bytes before its data.
constexpr qsizetype IpsFoldGap = 4;
constexpr qsizetype IpsLimit = 0x1000000;
constexpr qsizetype IpsLongestRecord = 0xFFFF;
// The offset that reads as the "EOF" marker.
constexpr qsizetype IpsEndMarkerOffset = 0x454F46;

} // namespace

QByteArray makeBps(const QByteArray &source, const QByteArray &target)
{
    requireSameSize(source, target);
    const qsizetype size = target.size();
    QByteArray patch;
    patch.reserve(256);
    patch.append("BPS1");
    putBpsNumber(patch, quint64(size));
    putBpsNumber(patch, quint64(size));
    putBpsNumber(patch, 0);  // no metadata

    qsizetype written = 0;
    forEachChangedRun(source, target, BpsFoldGap, [&](qsizetype start, qsizetype end) {
        if (start > written)
            putBpsAction(patch, SourceRead, start - written);
        putBpsAction(patch, TargetRead, end - start);
        patch.append(target.constData() + start, end - start);
        written = end;
    });
    if (size > written)
        putBpsAction(patch, SourceRead, size - written);

    putLittleEndian32(patch, ImageHeader::crc32(source));
    putLittleEndian32(patch, ImageHeader::crc32(target));
    putLittleEndian32(patch, ImageHeader::crc32(patch));
    return patch;
}

QByteArray makeIps(const QByteArray &source, const QByteArray &target)
{
    requireSameSize(source, target);
    if (target.size() > IpsLimit)
        throw RomError(QStringLiteral("The image is %1 bytes long, and an IPS patch reaches only "
                                      "the first 16 MiB; use BPS for this image.")
                           .arg(target.size()));
    QByteArray patch;
    patch.reserve(256);
    patch.append("PATCH");
    forEachChangedRun(source, target, IpsFoldGap, [&](qsizetype start, qsizetype end) {
        for (qsizetype at = start; at < end;) {
            // A record there would read as the end of the patch: start it a
            // byte earlier, carrying the target's byte, which is right even
            // where the record before has just written it.
            const qsizetype from = at == IpsEndMarkerOffset ? at - 1 : at;
            const qsizetype length = std::min(end - from, IpsLongestRecord);
            const char header[5] = {char(from >> 16), char(from >> 8), char(from),
                                    char(length >> 8), char(length)};
            patch.append(header, 5);
            patch.append(target.constData() + from, length);
            at = from + length;
        }
    });
    patch.append("EOF");
    return patch;
}

} // namespace Patch
