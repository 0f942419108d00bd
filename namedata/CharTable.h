#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What each byte of a name stands for: the game's table, as the command and
// the page show it (the ellipsis code 0xD1 as "…"), with a team's own table
// laid over it. A team's table gives free codes the letters it added to the
// font, and may rename codes; a code's text may be longer than one character
// ("th"), and a name is encoded by the longest text that has a code.
class CharTable {
public:
    static constexpr std::uint8_t Blank = 0xFF;
    static constexpr std::uint8_t EllipsisCode = 0xD1;

    // The game's own table.
    static const CharTable &game();

    struct Read;
    // The game's table with the lines of a file laid over it, in the form
    // orvane-names table prints ("HH=text" a line, UTF-8, "#" comments), or
    // the first line that cannot be taken: a malformed one, a byte given
    // twice, a text given two bytes, or another text for the blank or the
    // ellipsis code.
    static Read read(std::string_view text, std::string_view fileName);

    // The byte's text, or an empty one where it has none.
    const std::string &text(std::uint8_t byte) const { return m_texts[byte]; }

    struct Match {
        int code = -1;           // -1 where no text starts there
        std::size_t length = 0;  // the bytes of the text matched
    };
    // The code of the longest text that starts at text[at].
    Match longest(std::string_view text, std::size_t at) const;

    // Whether some code's text is more than one character, so that a run of
    // codes may read as another code's text.
    bool hasLongTexts() const { return m_longTexts; }

    // The texts it can write, in the order of their codes, the blank left out.
    std::vector<std::string> writable() const;

private:
    CharTable() = default;
    void index();

    std::array<std::string, 256> m_texts;
    std::map<std::string, std::uint8_t, std::less<>> m_codes;
    std::size_t m_longest = 0;
    bool m_longTexts = false;
};

struct CharTable::Read {
    std::optional<CharTable> table;
    std::string refusal;  // "FILE:LINE: reason" where refused
};
