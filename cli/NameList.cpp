#include "NameList.h"

#include "GetText.h"
#include "NameStore.h"
#include "RomError.h"
#include "RomFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLatin1String>

#include <map>
#include <utility>

namespace NameList {
namespace {

using NameTables::NameTable;

// The characters that have a code, taken from the codec's own table so the
// two can never disagree. The table is emptied again at once, as the codec
// expects it to be between its calls.
const QString &codedCharacters()
{
    static const QString coded = [] {
        GetText::BuildCharTable();
        QString singles;
        for (QString &entry : GetText::CharTable) {
            if (entry.size() == 1)
                singles += entry;
            entry.clear();
        }
        return singles;
    }();
    return coded;
}

QString leadingText(int leadingByte)
{
    if (leadingByte < 0)
        return QStringLiteral("-");
    return QStringLiteral("%1").arg(leadingByte, 2, 16, QChar(u'0')).toUpper();
}

QString fieldText(const QByteArray &field)
{
    return QString::fromLatin1(field.toHex().toUpper());
}

std::int16_t fieldLength(const NameTable &table)
{
    return static_cast<std::int16_t>(table.nameLength);
}

} // namespace

std::vector<Row> dump(const RomFile &rom)
{
    std::vector<Row> rows;
    for (const NameTable &table : NameTables::All) {
        for (int i = 0; i < table.entries; ++i) {
            const std::int32_t offset = NameTables::nameOffset(table, i);
            Row row{&table, i, -1, GetText::ReadName(rom, offset, fieldLength(table)), {}};
            if (table.hasLeadingByte)
                row.leadingByte = rom.readByte(NameTables::entryOffset(table, i));
            for (int k = 0; k < table.nameLength; ++k)
                row.field.append(char(rom.readByte(std::int64_t(offset) + k)));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

QString formatLine(const Row &row)
{
    return QStringList{QString::fromLatin1(row.table->name), QString::number(row.index),
                       leadingText(row.leadingByte), row.name, fieldText(row.field)}
        .join(u'\t');
}

QByteArray toJson(const std::vector<Row> &rows)
{
    QJsonArray array;
    for (const Row &row : rows) {
        array.append(QJsonObject{
            {QStringLiteral("category"), QString::fromLatin1(row.table->name)},
            {QStringLiteral("index"), row.index},
            {QStringLiteral("leadingByte"),
             row.leadingByte < 0 ? QJsonValue() : QJsonValue(leadingText(row.leadingByte))},
            {QStringLiteral("name"), row.name},
            {QStringLiteral("bytes"), fieldText(row.field)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

const NameTable *tableNamed(const QString &word)
{
    for (const NameTable &table : NameTables::All)
        if (word == QLatin1String(table.name))
            return &table;
    return nullptr;
}

QString entryLabel(const NameTable &table, int index)
{
    return QString::fromLatin1(table.name) + u' ' + QString::number(index);
}

int parseIndex(const NameTable &table, const QString &text)
{
    // Digits only: toInt() would also take signs and surrounding blanks.
    if (text.isEmpty() || text.size() > 9)
        return -1;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return -1;
    const int index = text.toInt();
    return index < table.entries ? index : -1;
}

QStringList uncodedCharacters(const QString &name)
{
    QStringList shown;
    for (const char32_t c : name.toUcs4()) {
        if (c <= 0xFFFF && codedCharacters().contains(QChar(char16_t(c))))
            continue;
        const QString item = QChar::isPrint(c) && !QChar::isSpace(c)
                                 ? u'"' + QString::fromUcs4(&c, 1) + u'"'
                                 : QStringLiteral("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
        if (!shown.contains(item))
            shown += item;
    }
    return shown;
}

QString refusal(const RomFile &rom, const NameTable &table, int index, const QString &name,
                bool allowBlanks)
{
    // One arg() call for all three: a name may itself hold "%1".
    if (name.size() > table.nameLength)
        return QStringLiteral("The name \"%1\" needs %2 bytes and the field holds %3.")
            .arg(name, QString::number(name.size()), QString::number(table.nameLength));
    if (!allowBlanks) {
        const QStringList uncoded = uncodedCharacters(name);
        if (!uncoded.isEmpty())
            return QStringLiteral("The name has characters without a code: %1 "
                                  "(--allow-blanks stores them as blanks).")
                .arg(uncoded.join(QStringLiteral(", ")));
    }
    try {
        rom.requireInside(NameTables::nameOffset(table, index), table.nameLength);
    } catch (const RomError &e) {
        return e.message();
    }
    return {};
}

Plan check(const RomFile &rom, const QString &text, bool allowBlanks)
{
    Plan plan;
    std::map<std::pair<const NameTable *, int>, int> seenOnLine;
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int number = int(n + 1);
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const auto refuse = [&](const QString &reason) { plan.problems.push_back({number, reason}); };

        const QStringList columns = line.split(u'\t');
        if (columns.size() < 4 || columns.size() > 5) {
            refuse(QStringLiteral("Expected category, index, leading byte, name and bytes separated "
                                  "by tabs; found %1 column(s).")
                       .arg(columns.size()));
            continue;
        }
        const NameTable *table = tableNamed(columns.at(0));
        if (!table) {
            refuse(QStringLiteral("Unknown category \"%1\"; it must be characters, monsters, magic "
                                  "or items.")
                       .arg(columns.at(0)));
            continue;
        }
        const int index = parseIndex(*table, columns.at(1));
        if (index < 0) {
            refuse(QStringLiteral("Index \"%1\" is not a %2 index (0 to %3).")
                       .arg(columns.at(1), QString::fromLatin1(table->name),
                            QString::number(table->entries - 1)));
            continue;
        }
        const QString label = entryLabel(*table, index);
        const auto [earlier, first] = seenOnLine.emplace(std::pair(table, index), number);
        if (!first) {
            refuse(QStringLiteral("%1 is already given on line %2.")
                       .arg(label, QString::number(earlier->second)));
            continue;
        }

        const QString &name = columns.at(3);
        if (name == GetText::ReadName(rom, NameTables::nameOffset(*table, index), fieldLength(*table)))
            continue;
        const QString reason = refusal(rom, *table, index, name, allowBlanks);
        if (!reason.isEmpty()) {
            refuse(label + QStringLiteral(": ") + reason);
            continue;
        }
        plan.changes.push_back({table, index, name});
    }
    return plan;
}

void apply(RomFile &rom, const Plan &plan)
{
    if (!plan.problems.empty())
        throw RomError(QStringLiteral("The list has bad lines; nothing was written."));
    int written = 0;
    for (const Edit &edit : plan.changes) {
        try {
            storeName(rom, *edit.table, edit.index, edit.name);
        } catch (const RomError &e) {
            throw RomError(QStringLiteral("%1: %2 (%3 name(s) had been written before it.)")
                               .arg(entryLabel(*edit.table, edit.index), e.message(),
                                    QString::number(written)));
        }
        ++written;
    }
    rom.sync();
}

} // namespace NameList
