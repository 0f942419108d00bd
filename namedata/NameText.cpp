#include "NameText.h"

#include "GetText.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace NameText {
namespace {

constexpr char32_t Ellipsis = U'\u2026';
constexpr std::string_view EllipsisText = "\u2026";
constexpr std::uint8_t EllipsisCode = 0xD1;
constexpr std::uint8_t Blank = 0xFF;

// The codec's own decoding of each byte alone, made once.
const std::array<std::string, 256> &characters()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> made;
        for (int byte = 0; byte < 256; ++byte) {
            const Bytes one{std::uint8_t(byte)};
            made[std::size_t(byte)] = byte == EllipsisCode ? std::string(EllipsisText) : GetText::DecodeName(one);
        }
        return made;
    }();
    return table;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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

std::string character(std::uint8_t byte)
{
    return characters()[byte];
}

std::string fromField(ByteView field)
{
    std::string text;
    for (const std::uint8_t c : field) {
        const std::string &shown = characters()[c];
        text += shown.empty() ? fmt::format("<${:02X}>", c) : shown;
    }
    return text;
}

Encoded encode(std::string_view text)
{
    Encoded encoded;
    for (std::size_t at = 0; at < text.size();) {
        if (const int raw = rawByte(text, at); raw >= 0) {
            encoded.bytes.push_back(std::uint8_t(raw));
            at += 5;
            continue;
        }
        const char32_t c = Utf8::next(text, at);
        if (c == Ellipsis) {
            encoded.bytes.push_back(EllipsisCode);
            continue;
        }
        if (const int code = GetText::CodeFor(c); code >= 0) {
            encoded.bytes.push_back(std::uint8_t(code));
            continue;
        }
        encoded.bytes.push_back(Blank);
        if (c > 0xFFFF)
            encoded.bytes.push_back(Blank);
        std::string shown = shownCharacter(c);
        if (std::find(encoded.uncoded.begin(), encoded.uncoded.end(), shown) == encoded.uncoded.end())
            encoded.uncoded.push_back(std::move(shown));
    }
    return encoded;
}

Bytes toField(std::string_view text, int length)
{
    Bytes bytes = encode(text).bytes;
    if (std::int64_t(bytes.size()) < length)
        bytes.resize(std::size_t(length), Blank);
    return bytes;
}

} // namespace NameText
