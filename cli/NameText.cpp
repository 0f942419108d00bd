#include "NameText.h"

#include "GetText.h"

#include <array>

namespace NameText {
namespace {

constexpr char16_t Ellipsis = u'\u2026';
constexpr std::uint8_t EllipsisCode = 0xD1;
constexpr std::uint8_t Blank = 0xFF;

// The codec's own decoding of each byte alone, made once.
const std::array<QString, 256> &characters()
{
    static const std::array<QString, 256> table = [] {
        std::array<QString, 256> made;
        for (int byte = 0; byte < 256; ++byte)
            made[std::size_t(byte)] = byte == EllipsisCode ? QString(QChar(Ellipsis))
                                                           : GetText::DecodeName(QByteArray(1, char(byte)));
        return made;
    }();
    return table;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The byte a <$XX> at text[at] names, or -1 when none starts there.
int rawByte(const QString &text, qsizetype at)
{
    if (at + 5 > text.size() || text.at(at) != u'<' || text.at(at + 1) != u'$' || text.at(at + 4) != u'>')
        return -1;
    const int high = hexDigit(text.at(at + 2)), low = hexDigit(text.at(at + 3));
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// A character as a message shows it: itself in quotes, or U+XXXX where it
// would not show.
QString shownCharacter(char32_t c)
{
    if (QChar::isPrint(c) && !QChar::isSpace(c))
        return u'"' + QString::fromUcs4(&c, 1) + u'"';
    return QStringLiteral("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
}

} // namespace

QString character(std::uint8_t byte)
{
    return characters()[byte];
}

QString fromField(const QByteArray &field)
{
    QString text;
    for (const char c : field) {
        const QString &shown = characters()[std::uint8_t(c)];
        text += shown.isEmpty() ? QStringLiteral("<$%1>").arg(uint(std::uint8_t(c)), 2, 16, QChar(u'0')).toUpper()
                                : shown;
    }
    return text;
}

Encoded encode(const QString &text)
{
    Encoded encoded;
    for (qsizetype at = 0; at < text.size();) {
        const QChar c = text.at(at);
        if (const int raw = rawByte(text, at); raw >= 0) {
            encoded.bytes += char(raw);
            at += 5;
            continue;
        }
        ++at;
        if (c == Ellipsis) {
            encoded.bytes += char(EllipsisCode);
            continue;
        }
        if (const int code = GetText::CodeFor(c); code >= 0) {
            encoded.bytes += char(code);
            continue;
        }
        char32_t whole = c.unicode();
        encoded.bytes += char(Blank);
        if (c.isHighSurrogate() && at < text.size() && text.at(at).isLowSurrogate()) {
            whole = QChar::surrogateToUcs4(c, text.at(at++));
            encoded.bytes += char(Blank);
        }
        const QString shown = shownCharacter(whole);
        if (!encoded.uncoded.contains(shown))
            encoded.uncoded += shown;
    }
    return encoded;
}

QByteArray toField(const QString &text, int length)
{
    const QByteArray bytes = encode(text).bytes;
    return bytes + QByteArray(std::max<qsizetype>(0, length - bytes.size()), char(Blank));
}

} // namespace NameText
