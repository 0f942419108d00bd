// The name codec against the character table, byte for byte.
#include "CoreQt.h"
#include "GetText.h"
#include "RomError.h"
#include "RomFile.h"
#include "TestFiles.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// The single characters in code order from 0x80 to 0xD0, with 0xC2 (no
// character) taken out; the blank 0xFF is the 81st.
const QString singles = QStringLiteral(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!?\\:'-.,_;#+()%~*=");

// The codec through Qt's text, as the editor calls it.
QString readName(const RomFile &rom, std::int32_t offset, std::int16_t length)
{
    return toQ(GetText::ReadName(rom, offset, length));
}

void writeName(RomFile &rom, std::int32_t offset, const QString &text, std::int16_t length)
{
    GetText::WriteName(rom, offset, toStd(text), length);
}

QByteArray singleCodes()
{
    QByteArray codes;
    for (int b = 0x80; b <= 0xD0; ++b)
        if (b != 0xC2)
            codes.append(char(b));
    return codes;
}

} // namespace

class CodecTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;
    RomFile rom;

    // Puts bytes at the start of a fresh 128-byte scratch image filled with 0x55.
    void useImage(const QByteArray &start)
    {
        QByteArray bytes(128, '\x55');
        bytes.replace(0, start.size(), start);
        rom.close();
        QVERIFY(writeAll(path, bytes));
        QVERIFY(rom.open(native(path)));
    }

    QByteArray image() { return readAll(path); }

private slots:
    void init() { path = dir.filePath("image.bin"); }
    void cleanup() { rom.close(); }

    void everyByteDecodesToItsTableEntry()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        useImage(all);
        const QByteArray codes = singleCodes();
        for (int b = 0; b < 256; ++b) {
            QString expected;
            if (codes.contains(char(b)))
                expected = singles.at(codes.indexOf(char(b)));
            else if (b == 0xD1)
                expected = QStringLiteral("...");
            else if (b == 0xFF)
                expected = QStringLiteral(" ");
            QCOMPARE(readName(rom, b, 1), expected);
        }
        QCOMPARE(singles.size(), 80);
    }

    void decodingKeepsBlanksAndDropsEmptyEntries()
    {
        useImage(QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF"
                            "\x80\x9A\xB4\xFF\xFF\xFF"
                            "\x80\x00\x81"
                            "\x00\xC2\xD2\xFE\x7F\x10",
                            21));
        QCOMPARE(readName(rom, 0, 6), QStringLiteral("      "));
        QCOMPARE(readName(rom, 6, 6), QStringLiteral("Aa0   "));
        QCOMPARE(readName(rom, 12, 3), QStringLiteral("AB"));
        QCOMPARE(readName(rom, 15, 6), QString());
        // The byte after a field plays no part: 0x80 0x9A, then 0xB4 outside.
        QCOMPARE(readName(rom, 6, 2), QStringLiteral("Aa"));
        // The table is filled only while a call runs.
        for (const std::string_view entry : GetText::CharTable)
            QVERIFY(entry.empty());
    }

    void encodingPadsWithBlanksAndMapsEveryCharacter()
    {
        useImage({});
        writeName(rom, 0, QString(), 6);
        QCOMPARE(image().left(7), QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\x55", 7));

        writeName(rom, 0, QStringLiteral("A"), 2);
        writeName(rom, 2, QStringLiteral("a"), 1);
        QCOMPARE(image().left(3), QByteArray("\x80\xFF\x9A", 3));

        // Exactly the field's length: no blank is added after it.
        useImage({});
        writeName(rom, 0, singles, 80);
        QCOMPARE(image().left(81), singleCodes() + QByteArray(1, '\x55'));

        writeName(rom, 0, QStringLiteral("..."), 3);
        QCOMPARE(image().left(3), QByteArray("\xC5\xC5\xC5"));
        for (const std::string_view entry : GetText::CharTable)
            QVERIFY(entry.empty());
    }

    void charactersWithoutCodeLeaveTheirByteAndKeepTheirPlace()
    {
        useImage(QByteArray("\x11\x22\x33\x44\x55\x66", 6));
        writeName(rom, 0, QStringLiteral("A&B"), 3);
        QCOMPARE(image().left(4), QByteArray("\x80\x22\x81\x44"));

        const QString uncoded = QString(QChar(0xE9)) + u'\t' + QChar(0x2026) + u'"' + u'a';
        useImage(QByteArray("\x11\x22\x33\x44\x55\x66", 6));
        writeName(rom, 0, uncoded, 6);
        QCOMPARE(image().left(7), QByteArray("\x11\x22\x33\x44\x9A\xFF\x55", 7));
    }

    void decodeThenEncodeRoundTrips()
    {
        // A byte without a character vanishes and the rest moves forward.
        useImage(QByteArray("\x80\x00\x81", 3));
        writeName(rom, 0, readName(rom, 0, 3), 3);
        QCOMPARE(image().left(3), QByteArray("\x80\x81\xFF"));
    }

    void refusalsWriteNothing()
    {
        useImage(QByteArray("\xD1\x80\x81\x82\x83\x84", 6));
        const QByteArray before = image();
        // 0xD1 decodes to three characters: eight for a six-byte field.
        const QString longName = readName(rom, 0, 6);
        QCOMPARE(longName.size(), 8);
        try {
            writeName(rom, 0, longName, 6);
            QFAIL("a text longer than its field was written");
        } catch (const RomError &e) {
            QCOMPARE(toQ(e.message()), QStringLiteral("The name needs 8 bytes and the field holds 6."));
        }
        // A field that ends past the end of the file (64 bytes long).
        QVERIFY_THROWS_EXCEPTION(RomError, writeName(rom, 124, QStringLiteral("Ax"), 6));
        QCOMPARE(image(), before);
        for (const std::string_view entry : GetText::CharTable)
            QVERIFY(entry.empty());
    }

    // Random fields and texts: nothing outside a field ever changes, and a field
    // of single-character codes survives decode then encode unchanged.
    void randomFieldsStayInsideAndRoundTrip()
    {
        QRandomGenerator random(20261207);
        const QByteArray codes = singleCodes() + QByteArray(1, '\xFF');
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes(40, '\0');
            for (char &b : bytes)
                b = char(random.bounded(256));
            useImage(bytes);
            const int length = 1 + random.bounded(12);
            const int offset = random.bounded(40 - length);

            QString text;
            const int textLength = random.bounded(length + 1);
            for (int k = 0; k < textLength; ++k)
                text += QChar(char16_t(random.bounded(0x20, 0x2030)));
            writeName(rom, offset, text, length);
            const QByteArray after = image();
            QCOMPARE(after.left(offset), bytes.left(offset));
            QCOMPARE(after.mid(offset + length, 40 - offset - length), bytes.mid(offset + length));

            QByteArray field;
            for (int k = 0; k < length; ++k)
                field.append(codes.at(random.bounded(codes.size())));
            bytes.replace(offset, length, field);
            useImage(bytes);
            writeName(rom, offset, readName(rom, offset, length), length);
            QCOMPARE(image().left(40), bytes);
        }
    }
};

QTEST_GUILESS_MAIN(CodecTest)
#include "tst_codec.moc"
