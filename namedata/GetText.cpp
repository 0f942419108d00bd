#include "GetText.h"

#include "RomError.h"
#include "RomFile.h"

#include <string>

namespace GetText {

std::array<QString, 256> CharTable;

namespace {

// Fills the table on entry and empties it again however the call ends.
struct TableInUse {
    TableInUse() { BuildCharTable(); }
    ~TableInUse()
    {
        for (QString &entry : CharTable)
            entry.clear();
    }
    TableInUse(const TableInUse &) = delete;
    TableInUse &operator=(const TableInUse &) = delete;
};

QString entryFor(int byte)
{
    if (byte >= 0x80 && byte <= 0x99)
        return QChar(u'A' + (byte - 0x80));
    if (byte >= 0x9A && byte <= 0xB3)
        return QChar(u'a' + (byte - 0x9A));
    if (byte >= 0xB4 && byte <= 0xBD)
        return QChar(u'0' + (byte - 0xB4));
    // 0xBE to 0xD1; 0xC2 has no character.
    static const char16_t *const punctuation[] = {
        u"!", u"?", u"\\", u":", u"", u"'", u"-", u".", u",", u"_",
        u";", u"#", u"+", u"(", u")", u"%", u"~", u"*", u"=", u"...",
    };
    if (byte >= 0xBE && byte <= 0xD1)
        return QString::fromUtf16(punctuation[byte - 0xBE]);
    if (byte == 0xFF)
        return QStringLiteral(" ");
    return {};
}

// The texts are made once, into one store that lives as long as the program;
// the entries point into it, so filling the table copies pointers and counts
// no references.
const std::array<QString, 256> &entries()
{
    static const std::u16string store = [] {
        std::u16string all;
        for (int byte = 0; byte < 256; ++byte)
            all += entryFor(byte).toStdU16String();
        return all;
    }();
    static const std::array<QString, 256> made = [] {
        std::array<QString, 256> table;
        std::size_t at = 0;
        for (int byte = 0; byte < 256; ++byte) {
            const auto length = std::size_t(entryFor(byte).size());
            if (length > 0)
                table[static_cast<std::size_t>(byte)] =
                    QString::fromRawData(reinterpret_cast<const QChar *>(store.data() + at), qsizetype(length));
            at += length;
        }
        return table;
    }();
    return made;
}

} // namespace

void BuildCharTable()
{
    const std::array<QString, 256> &made = entries();
    for (std::size_t byte = 0; byte < 256; ++byte) {
        // Most entries are empty, and clearing an empty text costs nothing.
        if (made[byte].isEmpty())
            CharTable[byte].clear();
        else
            CharTable[byte] = made[byte];
    }
}

int CodeFor(QChar c)
{
    // The first byte whose entry is that one character. Every character of
    // the table is plain ASCII, so the search is made once, for those.
    static const std::array<std::int16_t, 128> codes = [] {
        std::array<std::int16_t, 128> first;
        first.fill(-1);
        for (int byte = 255; byte >= 0; --byte) {
            const QString &entry = entries()[static_cast<std::size_t>(byte)];
            if (entry.size() == 1 && entry.at(0).unicode() < 128)
                first[entry.at(0).unicode()] = std::int16_t(byte);
        }
        return first;
    }();
    return c.unicode() < 128 ? codes[c.unicode()] : -1;
}

QString DecodeName(const QByteArray &field)
{
    TableInUse table;
    QString text;
    text.reserve(field.size());
    for (const char byte : field)
        text += CharTable[std::uint8_t(byte)];
    return text;
}

QByteArray EncodeName(const QByteArray &field, const QString &text)
{
    QByteArray bytes = field;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const int code = CodeFor(k < text.size() ? text.at(k) : QChar(u' '));
        if (code >= 0)
            bytes[k] = char(code);
    }
    return bytes;
}

QString ReadName(const RomFile &rom, std::int32_t offset, std::int16_t length)
{
    QByteArray field = rom.read(offset, length);
    field.append(QByteArray(length - field.size(), '\0'));
    return DecodeName(field);
}

void RequireFits(const QString &text, std::int16_t length)
{
    // Each UTF-16 unit takes one byte position, whether it has a code or not,
    // so a longer text would spill into the next entry.
    if (text.size() > length)
        throw RomError(QStringLiteral("The name needs %1 bytes and the field holds %2.")
                           .arg(text.size()).arg(length));
}

void WriteName(RomFile &rom, std::int32_t offset, const QString &text, std::int16_t length)
{
    RequireFits(text, length);
    rom.requireInside(offset, length);
    rom.writeField(offset, EncodeName(rom.readField(offset, length), text));
}

} // namespace GetText
