#pragma once

// Applies BPS and IPS patches the way a patching tool would, written apart
// from the program's patch makers so tests can check what those make. It is
// strict: whatever the makers should never write is an error. Link the test
// with ZLIB::ZLIB.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <algorithm>

#include <zlib.h>

namespace PatchReader {

struct Applied {
    QByteArray output;
    QString error;               // empty when the patch applied cleanly
    QList<qint64> recordStarts;  // IPS: where each record starts, in order
};

inline quint32 crcOf(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const Bytef *>(bytes.data());
    return quint32(::crc32_z(::crc32_z(0, nullptr, 0), data, z_size_t(bytes.size())));
}

inline Applied failed(const QString &why)
{
    return {{}, why, {}};
}

inline Applied applyBps(const QByteArray &source, const QByteArray &patch)
{
    if (!patch.startsWith("BPS1") || patch.size() < 4 + 3 + 12)
        return failed(QStringLiteral("not a BPS patch"));
    const qsizetype footer = patch.size() - 12;
    qsizetype at = 4;
    bool cut = false;
    const auto number = [&]() -> quint64 {
        quint64 value = 0;
        for (quint64 shift = 1; at < footer && shift < (quint64(1) << 56); shift <<= 7) {
            const quint8 byte = quint8(patch[at++]);
            value += (byte & 0x7F) * shift;
            if (byte & 0x80)
                return value;
            value += shift << 7;
        }
        cut = true;
        return 0;
    };
    const quint64 sourceSize = number();
    const quint64 targetSize = number();
    const quint64 metadataSize = number();
    if (cut || sourceSize != quint64(source.size()) || targetSize > (quint64(1) << 30)
        || metadataSize != 0)
        return failed(QStringLiteral("bad BPS header"));

    QByteArray output;
    output.reserve(qsizetype(targetSize));
    while (at < footer) {
        const quint64 action = number();
        const quint64 length = (action >> 2) + 1;
        const qsizetype from = output.size();
        if (cut || length > targetSize - quint64(from))
            return failed(QStringLiteral("action at patch offset %1 runs past the target").arg(at));
        if ((action & 3) == 0 && quint64(from) + length <= quint64(source.size()))
            output.append(source.constData() + from, qsizetype(length));
        else if ((action & 3) == 1 && length <= quint64(footer - at)) {
            output.append(patch.constData() + at, qsizetype(length));
            at += qsizetype(length);
        } else
            return failed(QStringLiteral("bad action at patch offset %1").arg(at));
    }
    if (quint64(output.size()) != targetSize)
        return failed(QStringLiteral("the target came out %1 bytes long").arg(output.size()));

    const auto stored = [&](int k) {
        quint32 value = 0;
        for (int b = 3; b >= 0; --b)
            value = value << 8 | quint8(patch[footer + 4 * k + b]);
        return value;
    };
    if (stored(0) != crcOf(source) || stored(1) != crcOf(output)
        || stored(2) != crcOf(QByteArrayView(patch).first(patch.size() - 4)))
        return failed(QStringLiteral("a CRC-32 does not match"));
    return {output, {}, {}};
}

inline Applied applyIps(const QByteArray &source, const QByteArray &patch)
{
    if (!patch.startsWith("PATCH"))
        return failed(QStringLiteral("not an IPS patch"));
    Applied applied{source, {}, {}};
    qsizetype at = 5;
    const auto number = [&](int bytes) {
        qint64 value = 0;
        for (int k = 0; k < bytes; ++k)
            value = value << 8 | quint8(patch[at++]);
        return value;
    };
    for (;;) {
        if (patch.size() - at < 3)
            return failed(QStringLiteral("no EOF marker"));
        if (QByteArrayView(patch).sliced(at, 3) == "EOF")
            break;
        if (patch.size() - at < 5)
            return failed(QStringLiteral("record header cut short"));
        const qint64 offset = number(3);
        const qint64 length = number(2);
        if (length == 0 || offset + length > source.size() || length > patch.size() - at)
            return failed(QStringLiteral("bad record at offset 0x%1").arg(offset, 0, 16));
        std::copy_n(patch.constData() + at, length, applied.output.data() + offset);
        at += length;
        applied.recordStarts.append(offset);
    }
    if (at + 3 != patch.size())
        return failed(QStringLiteral("bytes after the EOF marker"));
    return applied;
}

} // namespace PatchReader
