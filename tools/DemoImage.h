#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

// A headered image of the real size class with a known title and known names
// in all four tables, for the tests and for trying the editor out.
namespace DemoImage {

inline constexpr int HeaderSize = 512;
inline constexpr int ImageSize = 3 * 1024 * 1024 + HeaderSize;

struct Entry {
    QString decoded;            // the text the editor shows for this entry
    std::uint8_t leadingByte;   // 0 where the table has none
};

struct Contents {
    QByteArray bytes;
    QString title;                                 // 21 characters, blanks kept
    std::array<std::vector<Entry>, 4> tables;      // characters, monsters, magic, items
};

// Entries that show the codec's corners, so tests can find them by index.
inline constexpr int CharacterWithVanishingByte = 7;  // a byte with no character inside
inline constexpr int MonsterWithNoCharacters = 2;     // only bytes with no character
inline constexpr int ItemWithEllipsis = 3;            // decodes longer than its field

Contents build();
// Writes the image, replacing any file at the path. Returns false with a reason.
bool write(const QString &path, QString *error = nullptr);

} // namespace DemoImage
