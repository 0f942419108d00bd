// libFuzzer target: a team's character table read from any text, and any
// field read through it and written back. A table is taken, or refused with
// the file and line; a table taken keeps the game's blank and ellipsis and
// gives each text one code; and the text of every field through it writes
// the very bytes it was read from.
#include "CharTable.h"
#include "NameText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t length = 1 + data[0] % 16;
    if (size < 1 + length)
        return 0;
    const Bytes field(data + 1, data + 1 + length);
    const std::string_view lines(reinterpret_cast<const char *>(data + 1 + length), size - 1 - length);

    const CharTable::Read read = CharTable::read(lines, "team.tbl");
    if (!read.table) {
        if (!read.refusal.starts_with("team.tbl:"))
            std::abort();
        return 0;
    }
    const CharTable &table = *read.table, &game = CharTable::game();
    for (const std::uint8_t kept : {CharTable::Blank, CharTable::EllipsisCode})
        if (table.text(kept) != game.text(kept))
            std::abort();
    for (int code = 0; code < 256; ++code) {
        const std::string &text = table.text(std::uint8_t(code));
        const CharTable::Match match = table.longest(text, 0);
        if (!text.empty() && (match.code != code || match.length != text.size()))
            std::abort();
    }
    const NameText::Encoded back = NameText::encode(NameText::fromField(field, table), table);
    if (!back.uncoded.empty() || back.bytes != field)
        std::abort();
    return 0;
}
