// Patches applied by an independent reader, and the cartridge header's
// checksum against sums worked out by hand from the size rule.
#include "CoreQt.h"
#include "CopierHeader.h"
#include "ImageHeader.h"
#include "Patch.h"
#include "PatchReader.h"
#include "RomError.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace ImageHeader;

namespace {

constexpr int KiB = 1024, MiB = 1024 * KiB;
constexpr int EofOffset = 0x454F46;  // reads as "EOF" in an IPS patch

using Runs = QList<QPair<int, int>>;  // (offset, length)

// A run of `length` bytes at `at`, added `times` times to the checksum.
struct Part {
    int at, length, times;
};

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(random.generate());
    return bytes;
}

// The core's reading of data held in Qt's bytes.
Report inspect(const QByteArray &data)
{
    return ImageHeader::inspect(toBytes(data));
}

} // namespace

Q_DECLARE_METATYPE(QList<Part>)

class ReleaseTest : public QObject {
    Q_OBJECT

private slots:
    void patchesRebuildTheTarget_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<Runs>("changes");
        QTest::addColumn<QList<int>>("ipsStarts");  // records IPS must have

        const int big = 6 * MiB;
        QTest::newRow("scattered, one at EOF")
            << big
            << Runs{{0x1234, 3}, {0x10000, 1}, {0x200001, 40}, {EofOffset, 1}, {big - 20, 2}}
            << QList<int>{EofOffset - 1};
        QTest::newRow("first byte") << big << Runs{{0, 1}} << QList<int>{0};
        QTest::newRow("last byte") << big << Runs{{big - 1, 1}} << QList<int>{big - 1};
        QTest::newRow("run over 65535") << big << Runs{{0x123456, 200000}}
                                        << QList<int>{0x123456, 0x123456 + 65535};
        QTest::newRow("no change") << big << Runs{} << QList<int>{};
        QTest::newRow("record ending just before EOF")
            << big << Runs{{EofOffset - 65535, 65535 + 9}}
            << QList<int>{EofOffset - 65535, EofOffset - 1};
        QTest::newRow("gaps of a few bytes")
            << 4096 << Runs{{100, 1}, {102, 1}, {105, 2}, {112, 1}, {120, 6}} << QList<int>{100};
        QTest::newRow("16 MiB, last byte")
            << 16 * MiB << Runs{{16 * MiB - 1, 1}} << QList<int>{0xFFFFFF};
        QTest::newRow("empty") << 0 << Runs{} << QList<int>{};
    }

    void patchesRebuildTheTarget()
    {
        QFETCH(int, size);
        QFETCH(Runs, changes);
        QFETCH(QList<int>, ipsStarts);
        const QByteArray source = randomBytes(size, 11);
        QByteArray target = source;
        qsizetype changed = 0;
        for (const auto &[at, length] : changes) {
            for (int i = at; i < at + length; ++i)
                target[i] = char(~source[i]);
            changed += length;
        }

        const QByteArray bps = toQ(Patch::makeBps(toBytes(source), toBytes(target)));
        const PatchReader::Applied byBps = PatchReader::applyBps(source, bps);
        QVERIFY2(byBps.error.isEmpty(), qPrintable(byBps.error));
        QVERIFY(byBps.output == target);

        const QByteArray ips = toQ(Patch::makeIps(toBytes(source), toBytes(target)));
        const PatchReader::Applied byIps = PatchReader::applyIps(source, ips);
        QVERIFY2(byIps.error.isEmpty(), qPrintable(byIps.error));
        QVERIFY(byIps.output == target);
        for (int start : ipsStarts)
            QVERIFY2(byIps.recordStarts.contains(start), qPrintable(QString::number(start, 16)));

        // Unchanged runs stay out of both.
        const qsizetype pieces = changes.size() + changed / 65535 + 2;
        QCOMPARE_LE(bps.size(), changed + 8 * pieces + 32);
        QCOMPARE_LE(ips.size(), changed + 6 * pieces + 8);
    }

    void patchesRefuseWhatTheyCannotCarry()
    {
        const QByteArray image(4 * KiB, 'a');
        QVERIFY_THROWS_EXCEPTION(RomError, Patch::makeBps(toBytes(image), toBytes(image + 'b')));
        QVERIFY_THROWS_EXCEPTION(RomError, Patch::makeIps(toBytes(image + 'b'), toBytes(image)));

        const QByteArray huge(16 * MiB + 1, '\0');
        try {
            Patch::makeIps(toBytes(huge), toBytes(huge));
            QFAIL("an IPS patch was made for data over 16 MiB");
        } catch (const RomError &e) {
            QVERIFY(toQ(e.message()).contains(QLatin1String("BPS")));
        }
        QVERIFY(PatchReader::applyBps(huge, toQ(Patch::makeBps(toBytes(huge), toBytes(huge)))).output == huge);
    }

    void checksumFollowsTheSizeRule_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<Part>>("parts");
        QTest::newRow("2 MiB") << 2 * MiB << QList<Part>{{0, 2 * MiB, 1}};
        QTest::newRow("3 MiB") << 3 * MiB << QList<Part>{{0, 2 * MiB, 1}, {2 * MiB, MiB, 2}};
        QTest::newRow("2.5 MiB") << 2 * MiB + 512 * KiB
                                 << QList<Part>{{0, 2 * MiB, 1}, {2 * MiB, 512 * KiB, 4}};
        // The 768 KiB rest counts as 1 MiB, then twice that.
        QTest::newRow("2.75 MiB")
            << 2 * MiB + 768 * KiB
            << QList<Part>{{0, 2 * MiB, 1},
                           {2 * MiB, 512 * KiB, 2},
                           {2 * MiB + 512 * KiB, 256 * KiB, 4}};
    }

    void checksumFollowsTheSizeRule()
    {
        QFETCH(int, size);
        QFETCH(QList<Part>, parts);
        QByteArray data = randomBytes(size, quint32(size));
        data.replace(ComplementAt, 4, QByteArray("\xFF\xFF\x00\x00", 4));
        quint32 sum = 0;
        for (const Part &part : parts)
            for (int i = part.at; i < part.at + part.length; ++i)
                sum += quint8(data[i]) * part.times;
        const quint16 checksum = quint16(sum);
        const quint16 complement = checksum ^ 0xFFFF;
        const char pairBytes[] = {char(complement), char(complement >> 8),
                                  char(checksum), char(checksum >> 8)};
        const QByteArray pair(pairBytes, 4);
        QCOMPARE(toQ(soundPair(checksum)), pair);

        data.replace(ComplementAt, 4, pair);
        Report report = inspect(data);
        QCOMPARE(report.computedChecksum, checksum);
        QCOMPARE(report.storedChecksum, std::optional(checksum));
        QCOMPARE(report.storedComplement, std::optional(complement));
        QVERIFY(report.checksumValid);

        // Another sound pair counts the same, but no longer matches.
        data.replace(ComplementAt, 4, toQ(soundPair(quint16(checksum + 0x0101))));
        report = inspect(data);
        QCOMPARE(report.computedChecksum, checksum);
        QVERIFY(!report.checksumValid);
        // The right checksum beside a complement that does not match it: not
        // valid, and the stored bytes still count as FF FF 00 00.
        data.replace(ComplementAt, 4, pair);
        data[ComplementAt] = char(data[ComplementAt] ^ 1);
        report = inspect(data);
        QCOMPARE(report.computedChecksum, checksum);
        QVERIFY(!report.checksumValid);
    }

    void shortDataLeavesFieldsAbsent_data()
    {
        // The fields lie in this order: title, map mode, complement, checksum.
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("whole");  // how many of them lie wholly inside
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("title cut") << TitleAt + TitleLength - 1 << 0;
        QTest::newRow("title") << int(MapModeAt) << 1;
        QTest::newRow("map mode") << MapModeAt + 1 << 2;
        QTest::newRow("complement cut") << ComplementAt + 1 << 2;
        QTest::newRow("complement") << int(ChecksumAt) << 3;
        QTest::newRow("checksum cut") << End - 1 << 3;
        QTest::newRow("whole header") << int(End) << 4;
    }

    void shortDataLeavesFieldsAbsent()
    {
        QFETCH(int, size);
        QFETCH(int, whole);
        QByteArray data = randomBytes(End, 5);
        data.replace(TitleAt, TitleLength, "HERO TEST \xC9          ", TitleLength);
        data[MapModeAt] = '\x31';
        data.replace(ComplementAt, 4, toQ(soundPair(0x1234)));
        const Report report = inspect(data.left(size));

        const auto present = [&](int k, auto value) {
            return whole > k ? std::optional(value) : std::nullopt;
        };
        QCOMPARE(report.title ? std::optional(toQ(*report.title)) : std::nullopt,
                 present(0, QStringLiteral(u"HERO TEST \u00C9          ")));
        QCOMPARE(report.mapMode, present(1, quint8(0x31)));
        QCOMPARE(report.storedComplement, present(2, quint16(0xEDCB)));
        QCOMPARE(report.storedChecksum, present(3, quint16(0x1234)));
        QVERIFY(!report.checksumValid);
    }

    void crcIsTheStandardOne()
    {
        QCOMPARE(inspect("123456789").crc32, 0xCBF43926u);
    }

    // The evidence in its order: the option, a cartridge header that looks
    // like one at exactly one of its two places, the size, a bare sound pair
    // at exactly one place, and else an assumption. A matching checksum
    // decides nothing, since a name edit undoes it; it only makes an option
    // that contradicts the header too weak to write.
    void copierHeaderDecision_data()
    {
        QTest::addColumn<qint64>("size");
        // At the headered place, then the headerless one: 0 nothing, 1 a sound
        // pair by accident, 2 a sound pair in a header that looks right, 3 a
        // sound pair whose checksum matches the image laid out so, 4 a header
        // that looks right and whose checksum matches.
        QTest::addColumn<int>("atHeadered");
        QTest::addColumn<int>("atHeaderless");
        QTest::addColumn<int>("given");    // -1 nothing, 0 --headerless, 1 --headered
        QTest::addColumn<bool>("headered");
        QTest::addColumn<QString>("evidence");
        QTest::addColumn<bool>("strong");  // contradicted by a matching checksum
        QTest::newRow("3 MiB") << qint64(3 * MiB) << 0 << 0 << -1 << false << "size" << false;
        QTest::newRow("3 MiB + 512") << qint64(3 * MiB + 512) << 0 << 0 << -1 << true << "size" << false;
        QTest::newRow("odd size") << qint64(3 * MiB + 77) << 0 << 0 << -1 << true << "assumed" << false;
        QTest::newRow("odd size, pair without header") << qint64(3 * MiB + 100) << 0 << 3 << -1 << false << "internal header" << false;
        // The size decides where a sum alone would: after a name edit the sum
        // no longer matches, and the image must read the same.
        QTest::newRow("multiple of 1024, pair with header") << qint64(3 * MiB) << 3 << 0 << -1 << false << "size" << false;
        QTest::newRow("multiple of 1024, pair with header, names edited") << qint64(3 * MiB) << 1 << 0 << -1 << false << "size" << false;
        QTest::newRow("odd size, pair without header, names edited") << qint64(3 * MiB + 100) << 0 << 1 << -1 << false << "internal header" << false;
        QTest::newRow("multiple of 1024, header that looks right") << qint64(3 * MiB) << 4 << 0 << -1 << true << "internal header" << false;
        QTest::newRow("pair at both places") << qint64(3 * MiB + 512) << 3 << 3 << -1 << true << "size" << false;
        QTest::newRow("option over the pair") << qint64(3 * MiB) << 4 << 0 << 0 << false << "option" << true;
        QTest::newRow("option over a bare pair, odd size") << qint64(3 * MiB + 100) << 0 << 3 << 1 << true << "option" << true;
        QTest::newRow("option over the size") << qint64(3 * MiB) << 0 << 0 << 1 << true << "option" << false;
        QTest::newRow("pair sound by accident") << qint64(3 * MiB + 512) << 0 << 1 << -1 << true << "size" << false;
        QTest::newRow("edited header, sum unfixed") << qint64(3 * MiB) << 2 << 1 << -1 << true << "internal header" << false;
        QTest::newRow("option over a header that looks right") << qint64(3 * MiB) << 2 << 0 << 0 << false << "option" << false;
    }

    void copierHeaderDecision()
    {
        QFETCH(qint64, size);
        QFETCH(int, atHeadered);
        QFETCH(int, atHeaderless);
        QFETCH(int, given);
        QFETCH(bool, headered);
        QFETCH(QString, evidence);
        QFETCH(bool, strong);
        const auto header = [](int kind) {
            QByteArray bytes = kind >= 2 && kind != 3 ? QByteArray("HERO TEST            \x21\x02\x0C\x03\x01\x33\x00", 28)
                                                      : randomBytes(28, 3);
            return toBytes(bytes + (kind > 0 ? toQ(soundPair(0x1234)) : QByteArray("\x00\x00\x34\x12", 4)));
        };
        const Bytes ifHeadered = header(atHeadered), ifHeaderless = header(atHeaderless);
        const CopierHeader::Decision decision = CopierHeader::decide(
            size, {ifHeadered, ifHeaderless}, [&](bool place) { return (place ? atHeadered : atHeaderless) >= 3; },
            given < 0 ? std::nullopt : std::optional<bool>(given == 1));
        QCOMPARE(decision.headered, headered);
        QCOMPARE(QString::fromLatin1(CopierHeader::word(decision.evidence)), evidence);
        QCOMPARE(decision.contradicted() && decision.checksumMatches, strong);
        const QByteArray tag = QTest::currentDataTag();
        QCOMPARE(decision.contradicted(), tag.startsWith("option over") && tag != "option over the size");
    }
};

QTEST_GUILESS_MAIN(ReleaseTest)
#include "tst_release.moc"
