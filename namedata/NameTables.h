#pragma once

#include <array>
#include <cstdint>

// Where the editable data lie in a headered image. Every offset is a 0-based
// file offset and counts the 512-byte copier header in front of the
// cartridge data; an image without that header is read through RomFile's
// offset shift, as CopierHeader decides.
namespace NameTables {

// The cartridge header's 21-byte title field (0xFFC0 behind the header).
inline constexpr std::int32_t TitleOffset = 0x101C0;
inline constexpr int TitleLength = 21;

enum class Category { Characters, Monsters, Magic, Items };

// Offsets are 32-bit and field lengths 16-bit, as the codec takes them.
struct NameTable {
    Category category;
    const char *name;          // lower-case word used by tools and messages
    int entries;
    std::int32_t entrySize;
    std::int32_t firstEntry;   // offset of entry 0
    bool hasLeadingByte;       // magic and item entries start with an opaque byte
    std::int32_t nameOffset;   // where the name starts inside an entry
    std::int16_t nameLength;   // the name field's length in bytes
};

// Always in this order: characters, monsters, magic, items.
inline constexpr std::array<NameTable, 4> All = {{
    {Category::Characters, "characters", 64, 6, 0x47AC0, false, 0, 6},
    {Category::Monsters, "monsters", 384, 10, 0xFC250, false, 0, 10},
    {Category::Magic, "magic", 54, 7, 0x26F767, true, 1, 6},
    {Category::Items, "items", 256, 13, 0x12B500, true, 1, 12},
}};

// table() finds a category's table by its place, so the order must hold.
static_assert(All[0].category == Category::Characters && All[1].category == Category::Monsters
              && All[2].category == Category::Magic && All[3].category == Category::Items);

constexpr const NameTable &table(Category category)
{
    return All[static_cast<std::size_t>(category)];
}

// Valid for 0 <= i < table.entries.
constexpr std::int32_t entryOffset(const NameTable &t, int i)
{
    return t.firstEntry + i * t.entrySize;
}

constexpr std::int32_t nameOffset(const NameTable &t, int i)
{
    return entryOffset(t, i) + t.nameOffset;
}

constexpr std::int32_t tableEnd(const NameTable &t)
{
    return entryOffset(t, t.entries);
}

} // namespace NameTables
