#include "CharTable.h"

#include "GetText.h"
#include "HexDigit.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>

namespace {

constexpr std::string_view EllipsisText = "\u2026";

// Why a line's text cannot be a code's text, or "".
std::string badText(std::string_view text)
{
    if (text.empty())
        return "the line gives no text after \"=\"";
    if (!Utf8::isValid(text))
        return "the text is not UTF-8";
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = Utf8::next(text, at);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            return fmt::format("the text holds the control character U+{:04X}", std::uint32_t(c));
        if (c == U'<')
            return "the text holds \"<\", which starts the <$XX> notation of a byte";
    }
    return {};
}

} // namespace

const CharTable &CharTable::game()
{
    static const CharTable table = [] {
        CharTable made;
        for (int byte = 0; byte < 256; ++byte) {
            const std::uint8_t one = std::uint8_t(byte);
            made.m_texts[one] = one == EllipsisCode ? std::string(EllipsisText) : GetText::DecodeName(ByteView(&one, 1));
        }
        made.index();
        return made;
    }();
    return table;
}

void CharTable::index()
{
    m_codes.clear();
    m_longest = 0;
    m_longTexts = false;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string &text = m_texts[std::size_t(byte)];
        if (text.empty())
            continue;
        m_codes.emplace(text, std::uint8_t(byte));
        m_longest = std::max(m_longest, text.size());
        std::size_t at = 0;
        Utf8::next(text, at);
        m_longTexts = m_longTexts || at < text.size();
    }
}

CharTable::Read CharTable::read(std::string_view text, std::string_view fileName)
{
    CharTable made = game();
    std::array<int, 256> givenOn{};  // the line that gave each byte, 0 for the game's
    const auto refused = [&](int line, const std::string &reason) {
        return Read{std::nullopt, fmt::format("{}:{}: {}", fileName, line, reason)};
    };
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    int line = 0;
    for (std::size_t at = 0; at < text.size();) {
        ++line;
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view content = text.substr(at, end - at);
        at = end + 1;
        if (content.ends_with('\r'))
            content.remove_suffix(1);
        if (Utf8::trimmed(content).empty() || content.starts_with('#'))
            continue;
        const int high = content.size() > 2 ? hexDigit(content[0]) : -1;
        const int low = content.size() > 2 ? hexDigit(content[1]) : -1;
        if (high < 0 || low < 0 || content[2] != '=')
            return refused(line, "not a line of the table: each is HH=text, the byte in two hex digits, \"=\", "
                                 "then its text.");
        const std::uint8_t byte = std::uint8_t(high * 16 + low);
        const std::string_view given = content.substr(3);
        if (const std::string why = badText(given); !why.empty())
            return refused(line, why + '.');
        if (givenOn[byte] != 0)
            return refused(line, fmt::format("byte {:02X} is already given on line {}.", byte, givenOn[byte]));
        if ((byte == Blank || byte == EllipsisCode) && given != game().text(byte))
            return refused(line, fmt::format("byte {:02X} is the {} and stays \"{}\".", byte,
                                             byte == Blank ? "blank that pads every name" : "ellipsis code",
                                             game().text(byte)));
        givenOn[byte] = line;
        made.m_texts[byte] = std::string(given);
    }
    // A text may name one byte only, or a name could be written two ways.
    // Of two bytes with one text, the line given later is the one at fault.
    int worstLine = 0;
    std::string worst;
    std::map<std::string_view, int> first;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string &shown = made.m_texts[std::size_t(byte)];
        if (shown.empty())
            continue;
        const auto [other, isFirst] = first.emplace(shown, byte);
        if (isFirst)
            continue;
        const int a = other->second, b = byte;
        const int atLine = std::max(givenOn[std::size_t(a)], givenOn[std::size_t(b)]);
        const int mine = atLine == givenOn[std::size_t(a)] ? a : b, theirs = mine == a ? b : a;
        if (worstLine != 0 && worstLine < atLine)
            continue;
        worstLine = atLine;
        worst = givenOn[std::size_t(theirs)] != 0
                  ? fmt::format("the text \"{}\" is already byte {:02X}'s, on line {}.", shown, theirs,
                                givenOn[std::size_t(theirs)])
                  : fmt::format("the text \"{}\" is already byte {:02X}'s in the game's table; give that byte "
                                "another text too.",
                                shown, theirs);
    }
    if (worstLine != 0)
        return refused(worstLine, worst);
    made.index();
    return {std::move(made), {}};
}

CharTable::Match CharTable::longest(std::string_view text, std::size_t at) const
{
    for (std::size_t length = std::min(m_longest, text.size() - at); length > 0; --length) {
        const auto found = m_codes.find(text.substr(at, length));
        if (found != m_codes.end())
            return {found->second, length};
    }
    return {};
}

std::vector<std::string> CharTable::writable() const
{
    std::vector<std::string> texts;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != Blank && !m_texts[std::size_t(byte)].empty())
            texts.push_back(m_texts[std::size_t(byte)]);
    return texts;
}
