#include "PoCharset.h"

#include "Utf8.h"

#include <algorithm>
#include <array>

namespace NameList::Po {
namespace {

struct Spelling {
    std::string_view name;  // lower case
    Charset charset;
};

constexpr Spelling Spellings[] = {
    {"utf-8", Charset::Utf8},           {"utf8", Charset::Utf8},
    {"charset", Charset::Utf8},         {"ascii", Charset::Utf8},
    {"us-ascii", Charset::Utf8},        {"ansi_x3.4-1968", Charset::Utf8},
    {"iso-8859-1", Charset::Latin1},    {"iso8859-1", Charset::Latin1},
    {"iso_8859-1", Charset::Latin1},    {"latin1", Charset::Latin1},
    {"latin-1", Charset::Latin1},       {"l1", Charset::Latin1},
    {"cp819", Charset::Latin1},         {"iso-8859-15", Charset::Latin9},
    {"iso8859-15", Charset::Latin9},    {"iso_8859-15", Charset::Latin9},
    {"latin-9", Charset::Latin9},       {"latin9", Charset::Latin9},
    {"windows-1252", Charset::Windows1252}, {"cp1252", Charset::Windows1252},
    {"ms-ansi", Charset::Windows1252},
};

// Windows-1252's characters at 0x80 to 0x9F; 0 where the byte has none.
constexpr std::array<char16_t, 32> Windows1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// ISO-8859-15 is Latin-1 but for eight places.
char32_t latin9(unsigned char byte)
{
    switch (byte) {
    case 0xA4: return 0x20AC;
    case 0xA6: return 0x0160;
    case 0xA8: return 0x0161;
    case 0xB4: return 0x017D;
    case 0xB8: return 0x017E;
    case 0xBC: return 0x0152;
    case 0xBD: return 0x0153;
    case 0xBE: return 0x0178;
    default: return byte;
    }
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || std::string_view("-_.:+").find(c) != std::string_view::npos;
}

} // namespace

std::string declaredCharset(std::string_view header)
{
    constexpr std::string_view Field = "Content-Type:";
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string_view line = header.substr(start, end - start);
        if (line.starts_with(Field)) {
            const std::size_t at = line.find("charset=");
            if (at == std::string_view::npos)
                return {};
            const std::string_view rest = line.substr(at + 8);
            return std::string(rest.begin(), std::find_if_not(rest.begin(), rest.end(), isNameCharacter));
        }
        start = end + 1;
    }
    return {};
}

std::optional<Charset> charsetNamed(std::string_view name)
{
    if (name.empty())
        return Charset::Utf8;
    for (const Spelling &spelling : Spellings)
        if (Utf8::sameWord(name, spelling.name))
            return spelling.charset;
    return std::nullopt;
}

std::string_view charsetsRead()
{
    return "UTF-8, ISO-8859-1, ISO-8859-15 and Windows-1252";
}

bool toUtf8(Charset charset, std::string_view bytes, std::string &text)
{
    if (charset == Charset::Utf8) {
        text = bytes;
        return Utf8::isValid(bytes);
    }
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        char32_t decoded = byte;
        if (charset == Charset::Latin9)
            decoded = latin9(byte);
        else if (charset == Charset::Windows1252 && byte >= 0x80 && byte < 0xA0)
            decoded = Windows1252High[byte - 0x80];
        if (decoded == 0 && byte != 0)
            return false;
        Utf8::append(text, decoded);
    }
    return true;
}

} // namespace NameList::Po
