#include "GetText.h"

#include "Image.h"
#include "RomError.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>

namespace GetText {

std::array<std::string_view, 256> CharTable;

namespace {

// Fills the table on entry and empties it again however the call ends.
struct TableInUse {
    TableInUse() { BuildCharTable(); }
    ~TableInUse() { CharTable.fill({}); }
    TableInUse(const TableInUse &) = delete;
    TableInUse &operator=(const TableInUse &) = delete;
};

std::string_view entryFor(int byte)
{
    static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    if (byte >= 0x80 && byte <= 0xBD)
        return letters.substr(std::size_t(byte - 0x80), 1);
    // 0xBE to 0xD1; 0xC2 has no character.
    static constexpr std::string_view punctuation[] = {
        "!", "?", "\\", ":", "", "'", "-", ".", ",", "_", ";", "#", "+", "(", ")", "%", "~", "*", "=", "...",
    };
    if (byte >= 0xBE && byte <= 0xD1)
        return punctuation[byte - 0xBE];
    if (byte == 0xFF)
        return " ";
    return {};
}

// The entries point into texts that live as long as the program, so filling
// the table copies pointers.
const std::array<std::string_view, 256> &entries()
{
    static const std::array<std::string_view, 256> made = [] {
        std::array<std::string_view, 256> table;
        for (int byte = 0; byte < 256; ++byte)
            table[std::size_t(byte)] = entryFor(byte);
        return table;
    }();
    return made;
}

} // namespace

void BuildCharTable()
{
    CharTable = entries();
}

int CodeFor(char32_t c)
{
    // The first byte whose entry is that one character. Every character of
    // the table is plain ASCII, so the search is made once, for those.
    static const std::array<std::int16_t, 128> codes = [] {
        std::array<std::int16_t, 128> first;
        first.fill(-1);
        for (int byte = 255; byte >= 0; --byte) {
            const std::string_view entry = entries()[std::size_t(byte)];
            if (entry.size() == 1)
                first[std::size_t(std::uint8_t(entry[0]))] = std::int16_t(byte);
        }
        return first;
    }();
    return c < 128 ? codes[c] : -1;
}

std::string DecodeName(ByteView field)
{
    TableInUse table;
    std::string text;
    text.reserve(field.size());
    for (const std::uint8_t byte : field)
        text += CharTable[byte];
    return text;
}

Bytes EncodeName(ByteView field, std::string_view text)
{
    Bytes bytes(field.begin(), field.end());
    std::size_t at = 0;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const char32_t c = at < text.size() ? Utf8::next(text, at) : U' ';
        if (const int code = CodeFor(c); code >= 0)
            bytes[k] = std::uint8_t(code);
        else if (c > 0xFFFF)
            ++k;  // two positions, neither with a code
    }
    return bytes;
}

std::string ReadName(const Image &rom, std::int32_t offset, std::int16_t length)
{
    Bytes field = rom.read(offset, length);
    field.resize(std::size_t(length), 0);
    return DecodeName(field);
}

void RequireFits(std::string_view text, std::int16_t length)
{
    // Each UTF-16 unit takes one byte position, whether it has a code or not,
    // so a longer text would spill into the next entry. No character takes
    // more units than bytes, so a short text needs no counting.
    if (text.size() <= std::size_t(std::max<std::int16_t>(length, 0)))
        return;
    const std::size_t units = Utf8::units(text);
    if (units > std::size_t(length))
        throw RomError(fmt::format("The name needs {} bytes and the field holds {}.", units, length));
}

void WriteName(Image &rom, std::int32_t offset, std::string_view text, std::int16_t length)
{
    RequireFits(text, length);
    rom.requireInside(offset, length);
    rom.writeField(offset, EncodeName(rom.readField(offset, length), text));
}

} // namespace GetText
