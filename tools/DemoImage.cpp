#include "DemoImage.h"

#include "NameTables.h"

#include <QFile>
#include <QSaveFile>

namespace DemoImage {
namespace {

using NameTables::All;

// The builder spells names itself, rather than through the codec under test.
char16_t codeFor(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'Z')
        return 0x80 + (u - u'A');
    if (u >= u'a' && u <= u'z')
        return 0x9A + (u - u'a');
    if (u >= u'0' && u <= u'9')
        return 0xB4 + (u - u'0');
    if (u == u'-')
        return 0xC4;
    if (u == u'.')
        return 0xC5;
    return 0xFF;  // the blank
}

const QStringList characterNames = QStringLiteral("Hero,Mage,Rogue,Bard,Monk,Knight,Sage,,Ranger,Cleric").split(u',');
const QStringList monsterNames = QStringLiteral("Slime,Goblin,,Bat,Wolf,Orc Chief,Imp,Sea-Serpnt,Golem,Wisp").split(u',');
const QStringList magicNames = QStringLiteral("Fire,Ice,Bolt,Cure,Quake,Haste").split(u',');
const QStringList itemNames = QStringLiteral("Ax,Dagger,Potion,,Long Sword,Shield,Iron Helm,Ether,Tent,Phoenix Dn").split(u',');

QString plainName(int table, int i)
{
    static const QStringList *const pools[] = {&characterNames, &monsterNames, &magicNames, &itemNames};
    static const char *const prefixes[] = {"Ally", "Monster", "Spl", "Item "};
    const QStringList &pool = *pools[table];
    return i < pool.size() ? pool.at(i) : QString::fromLatin1(prefixes[table]) + QString::number(i);
}

std::uint8_t leadingByteFor(int table, int i)
{
    if (!All[std::size_t(table)].hasLeadingByte)
        return 0;
    return table == 2 ? std::uint8_t(i * 37 + 5) : std::uint8_t(i * 11 + 3);
}

void put(QByteArray &bytes, int offset, const QByteArray &field)
{
    bytes.replace(offset, field.size(), field);
}

} // namespace

Contents build()
{
    Contents image;
    image.bytes.resize(ImageSize);
    // A filler that is never all one value, so a stray write shows up.
    for (int offset = 0; offset < ImageSize; ++offset)
        image.bytes[offset] = char((offset * 7 + (offset >> 9)) & 0xFF);

    image.title = QStringLiteral("ORVANE TEST IMAGE    ");
    put(image.bytes, NameTables::TitleOffset, image.title.toLatin1());

    for (int t = 0; t < 4; ++t) {
        const NameTables::NameTable &table = All[std::size_t(t)];
        for (int i = 0; i < table.entries; ++i) {
            const QString name = plainName(t, i).leftJustified(table.nameLength, u' ');
            QByteArray field(table.nameLength, '\0');
            for (int k = 0; k < table.nameLength; ++k)
                field[k] = char(codeFor(name.at(k)));
            Entry entry{name, leadingByteFor(t, i)};
            if (table.hasLeadingByte)
                image.bytes[NameTables::entryOffset(table, i)] = char(entry.leadingByte);
            put(image.bytes, NameTables::nameOffset(table, i), field);
            image.tables[std::size_t(t)].push_back(entry);
        }
    }

    // "H", nothing, "ero", blank: the byte without a character vanishes.
    const auto &characters = NameTables::table(NameTables::Category::Characters);
    put(image.bytes, NameTables::nameOffset(characters, CharacterWithVanishingByte),
        QByteArray("\x87\x00\x9E\xAB\xA8\xFF", 6));
    image.tables[0][CharacterWithVanishingByte].decoded = QStringLiteral("Hero ");

    // Bytes without characters only, from each of the three empty ranges.
    const auto &monsters = NameTables::table(NameTables::Category::Monsters);
    put(image.bytes, NameTables::nameOffset(monsters, MonsterWithNoCharacters),
        QByteArray("\x00\x7F\xC2\xD2\xFE\x01\x40\xC2\xE0\xD9", 10));
    image.tables[1][MonsterWithNoCharacters].decoded = QString();

    // 0xD1 then "EtherPlus" and two blanks: 14 characters from 12 bytes.
    const auto &items = NameTables::table(NameTables::Category::Items);
    put(image.bytes, NameTables::nameOffset(items, ItemWithEllipsis),
        QByteArray("\xD1\x84\xAD\xA1\x9E\xAB\x8F\xA5\xAE\xAC\xFF\xFF", 12));
    image.tables[3][ItemWithEllipsis].decoded = QStringLiteral("...EtherPlus  ");

    return image;
}

bool write(const QString &path, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = build().bytes;
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace DemoImage
