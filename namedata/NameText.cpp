#include "NameText.h"

#include "HexDigit.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace NameText {
namespace {

constexpr std::uint8_t Blank = CharTable::Blank;

// The byte a <$XX> at text[at] names, or -1 when none starts there.
int rawByte(std::string_view text, std::size_t at)
{
    if (at + 5 > text.size() || text[at] != '<' || text[at + 1] != '$' || text[at + 4] != '>')
        return -1;
    const int high = hexDigit(text[at + 2]), low = hexDigit(text[at + 3]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Characters that show nothing or move the text: controls, format
// characters, surrogates, private use and noncharacters.
bool isPrintable(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> hidden[] = {
        {0x0000, 0x001F}, {0x007F, 0x009F}, {0x00AD, 0x00AD}, {0x0600, 0x0605}, {0x061C, 0x061C},
        {0x06DD, 0x06DD}, {0x070F, 0x070F}, {0x0890, 0x0891}, {0x08E2, 0x08E2}, {0x180E, 0x180E},
        {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x2066, 0x206F}, {0xD800, 0xF8FF},
        {0xFDD0, 0xFDEF}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
        {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
        {0xF0000, 0x10FFFF},
    };
    if ((c & 0xFFFE) == 0xFFFE)
        return false;
    return std::none_of(std::begin(hidden), std::end(hidden),
                        [c](const auto &range) { return c >= range.first && c <= range.second; });
}

// A character as a message shows it: itself in quotes, or U+XXXX where it
// would not show.
std::string shownCharacter(char32_t c)
{
    if (isPrintable(c) && !Utf8::isSpace(c)) {
        std::string quoted = "\"";
        Utf8::append(quoted, c);
        return quoted + '"';
    }
    return fmt::format("U+{:04X}", std::uint32_t(c));
}

} // namespace

std::string character(std::uint8_t byte, const CharTable &table)
{
    return table.text(byte);
}

std::string fromField(ByteView field, const CharTable &table)
{
    std::vector<std::string> pieces;
    pieces.reserve(field.size());
    for (const std::uint8_t c : field) {
        const std::string &shown = table.text(c);
        pieces.push_back(shown.empty() ? fmt::format("<${:02X}>", c) : shown);
    }
    if (table.hasLongTexts()) {
        // Read back as encode reads: where the longest text at a byte's place
        // is not that byte's own, the byte is written <$XX>. A "<" is part of
        // no text, so the change only ends matches that ran into it, and the
        // bytes before stay as they were read.
        std::string rest;
        for (const std::string &piece : pieces)
            rest += piece;
        std::size_t at = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const std::uint8_t c = field[k];
            if (!table.text(c).empty()) {
                const CharTable::Match match = table.longest(rest, at);
                if (match.code != c || match.length != pieces[k].size()) {
                    const std::string raw = fmt::format("<${:02X}>", c);
                    rest.replace(at, pieces[k].size(), raw);
                    pieces[k] = raw;
                }
            }
            at += pieces[k].size();
        }
        return rest;
    }
    std::string text;
    for (const std::string &piece : pieces)
        text += piece;
    return text;
}

Encoded encode(std::string_view text, const CharTable &table)
{
    Encoded encoded;
    for (std::size_t at = 0; at < text.size();) {
        if (const int raw = rawByte(text, at); raw >= 0) {
            encoded.bytes.push_back(std::uint8_t(raw));
            at += 5;
            continue;
        }
        if (const CharTable::Match match = table.longest(text, at); match.code >= 0) {
            encoded.bytes.push_back(std::uint8_t(match.code));
            at += match.length;
            continue;
        }
        const char32_t c = Utf8::next(text, at);
        encoded.bytes.push_back(Blank);
        if (c > 0xFFFF)
            encoded.bytes.push_back(Blank);
        std::string shown = shownCharacter(c);
        if (std::find(encoded.uncoded.begin(), encoded.uncoded.end(), shown) == encoded.uncoded.end())
            encoded.uncoded.push_back(std::move(shown));
    }
    return encoded;
}

Bytes toField(std::string_view text, int length, const CharTable &table)
{
    Bytes bytes = encode(text, table).bytes;
    if (std::int64_t(bytes.size()) < length)
        bytes.resize(std::size_t(length), Blank);
    return bytes;
}

} // namespace NameText
