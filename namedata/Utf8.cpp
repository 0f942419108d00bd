#include "Utf8.h"

#include <algorithm>
#include <cstdint>

namespace Utf8 {

std::size_t sequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return k < text.size() ? unsigned(std::uint8_t(text[k])) : 0u; };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return at < text.size() ? 1 : 0;
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned next = byte(at + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

bool isValid(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

int firstBadLine(std::string_view text)
{
    int line = 1;
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t broken = lineBreak(text, at); broken > 0) {
            ++line;
            at += broken;
            continue;
        }
        const std::size_t length = sequenceLength(text, at);
        if (length == 0)
            return line;
        at += length;
    }
    return 0;
}

std::size_t lineBreak(std::string_view text, std::size_t at)
{
    if (at >= text.size())
        return 0;
    if (text[at] == '\n')
        return 1;
    if (text[at] != '\r')
        return 0;
    return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

std::size_t lineEnd(std::string_view text, std::size_t from)
{
    return std::min(text.find_first_of("\r\n", from), text.size());
}

bool fromUtf16(std::string_view bytes, std::string &text, int &badLine)
{
    const bool little = bytes.starts_with("\xFF\xFE");
    const auto unit = [&](std::size_t at) {
        const auto first = std::uint8_t(bytes[at]), second = std::uint8_t(bytes[at + 1]);
        return char16_t(little ? first | second << 8 : second | first << 8);
    };
    text.clear();
    badLine = 1;
    for (std::size_t at = 2; at < bytes.size(); at += 2) {
        if (at + 1 == bytes.size())
            return false;
        char32_t c = unit(at);
        if (c >= 0xDC00 && c < 0xE000)
            return false;
        if (c >= 0xD800 && c < 0xDC00) {
            if (at + 3 >= bytes.size() || unit(at + 2) < 0xDC00 || unit(at + 2) >= 0xE000)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        }
        // CRLF counts once: its CR when the LF follows.
        badLine += c == U'\n' || (c == U'\r' && (at + 3 >= bytes.size() || unit(at + 2) != u'\n'));
        append(text, c);
    }
    badLine = 0;
    return true;
}

char32_t next(std::string_view text, std::size_t &at)
{
    const std::size_t length = sequenceLength(text, at);
    const auto lead = std::uint8_t(text[at]);
    if (length <= 1) {
        ++at;
        return length == 1 ? lead : U'\uFFFD';
    }
    char32_t c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        c = c << 6 | (std::uint8_t(text[at + k]) & 0x3F);
    at += length;
    return c;
}

void append(std::string &text, char32_t c)
{
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | c >> 6);
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | c >> 12);
        text += char(0x80 | (c >> 6 & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | c >> 18);
        text += char(0x80 | (c >> 12 & 0x3F));
        text += char(0x80 | (c >> 6 & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
}

std::string repaired(std::string_view text)
{
    std::string good;
    for (std::size_t at = 0; at < text.size();)
        append(good, next(text, at));
    return good;
}

std::size_t units(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size();)
        count += next(text, at) > 0xFFFF ? 2 : 1;
    return count;
}

std::string fromLatin1(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char b : bytes)
        append(text, std::uint8_t(b));
    return text;
}

bool isSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F
        || c == 0x3000;
}

std::string_view trimmed(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t at = start;
        if (!isSpace(next(text, at)))
            break;
        start = at;
    }
    // From the end, one character back at a time: a character starts at the
    // last byte before it that is not a continuation byte.
    std::size_t end = text.size();
    while (end > start) {
        std::size_t from = end - 1;
        while (from > start && end - from < 4 && (std::uint8_t(text[from]) & 0xC0) == 0x80)
            --from;
        std::size_t at = from;
        if (!isSpace(next(text, at)) || at != end)
            break;
        end = from;
    }
    return text.substr(start, end - start);
}

bool sameWord(std::string_view text, std::string_view word)
{
    return std::equal(text.begin(), text.end(), word.begin(), word.end(), [](char t, char w) {
        return (t >= 'A' && t <= 'Z' ? char(t - 'A' + 'a') : t) == w;
    });
}

bool endsWithWord(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && sameWord(text.substr(text.size() - ending.size()), ending);
}

namespace {

// Characters that act on a terminal or reorder the text around them: the C1
// controls (U+009B alone starts a control sequence) and the bidirectional
// overrides and isolates, which could make a name read as another.
bool actsOnTheText(char32_t c)
{
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string shown(std::string_view text)
{
    constexpr std::string_view Hex = "0123456789abcdef";
    std::string result;
    for (std::size_t at = 0; at < text.size();) {
        const bool wellFormed = sequenceLength(text, at) > 0;
        const std::size_t from = at;
        const char32_t c = next(text, at);
        if (c == U'\\') {
            result += "\\\\";
        } else if (!wellFormed || c < 0x20 || c == 0x7F || actsOnTheText(c)) {
            // Each of its bytes as \xHH, so the message names the very bytes.
            for (const char byte : text.substr(from, at - from)) {
                result += "\\x";
                result += Hex[static_cast<unsigned char>(byte) >> 4];
                result += Hex[static_cast<unsigned char>(byte) & 0xF];
            }
        } else {
            result += text.substr(from, at - from);
        }
    }
    return result;
}

} // namespace Utf8
