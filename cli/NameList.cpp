#include "NameList.h"

#include "GetText.h"
#include "NameStore.h"
#include "RomError.h"
#include "RomFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLatin1String>

#include <algorithm>
#include <map>
#include <utility>

namespace NameList {
namespace {

using NameTables::NameTable;

// Hex for the bytes the file holds, -- for each one past its end.
QString hexColumn(const QByteArray &bytes, int length)
{
    return QString::fromLatin1(bytes.toHex().toUpper()) + QStringLiteral("--").repeated(length - bytes.size());
}

QString leadingText(const Row &row)
{
    if (!row.table->hasLeadingByte)
        return QStringLiteral("-");
    return row.leadingByte ? hexColumn(QByteArray(1, char(*row.leadingByte)), 1) : hexColumn({}, 1);
}

QString withoutTrailingBlanks(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == u' ')
        --end;
    return name.left(end);
}

} // namespace

std::vector<Row> dump(const RomFile &rom)
{
    std::vector<Row> rows;
    for (const NameTable &table : NameTables::All) {
        for (int i = 0; i < table.entries; ++i) {
            Row row{&table, i, std::nullopt, {}, rom.read(NameTables::nameOffset(table, i), table.nameLength)};
            row.name = GetText::DecodeName(row.field + QByteArray(table.nameLength - row.field.size(), '\0'));
            if (table.hasLeadingByte) {
                const QByteArray leading = rom.read(NameTables::entryOffset(table, i), 1);
                if (!leading.isEmpty())
                    row.leadingByte = std::uint8_t(leading.at(0));
            }
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

QString formatLine(const Row &row)
{
    return QStringList{QString::fromLatin1(row.table->name), QString::number(row.index),
                       leadingText(row), row.name, hexColumn(row.field, row.table->nameLength)}
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
             row.table->hasLeadingByte ? QJsonValue(leadingText(row)) : QJsonValue()},
            {QStringLiteral("name"), row.name},
            {QStringLiteral("bytes"), hexColumn(row.field, row.table->nameLength)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

const NameTable *tableNamed(QStringView word)
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

int parseIndex(const NameTable &table, QStringView text)
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
        if (c <= 0xFFFF && GetText::CodeFor(QChar(char16_t(c))) >= 0)
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

bool sameName(const QString &a, const QString &b)
{
    return withoutTrailingBlanks(a) == withoutTrailingBlanks(b);
}

Request parse(const QString &text)
{
    Request request;
    std::map<std::pair<const NameTable *, int>, int> seenOnLine;
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const auto refuse = [&](const QString &reason) { request.problems.push_back({number, reason}); };

        const QList<QStringView> columns = line.split(u'\t');
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
        const auto [earlier, first] = seenOnLine.emplace(std::pair(table, index), number);
        if (!first) {
            refuse(QStringLiteral("%1 is already given on line %2.")
                       .arg(entryLabel(*table, index), QString::number(earlier->second)));
            continue;
        }
        request.entries.push_back({number, table, index, columns.at(3).toString()});
    }
    return request;
}

Request parseJson(const QByteArray &json)
{
    Request request;
    request.byPosition = true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        request.unreadable = QStringLiteral("not valid JSON: %1 at byte %2")
                                 .arg(error.errorString()).arg(error.offset);
        return request;
    }
    if (!document.isArray()) {
        request.unreadable = QStringLiteral("not a JSON array of names");
        return request;
    }
    std::map<std::pair<const NameTable *, int>, int> seenAt;
    const QJsonArray array = document.array();
    for (qsizetype n = 0; n < array.size(); ++n) {
        const int position = int(n + 1);
        const auto refuse = [&](const QString &reason) { request.problems.push_back({position, reason}); };
        const QJsonObject object = array.at(n).toObject();
        const QJsonValue category = object.value(QLatin1String("category"));
        const QJsonValue index = object.value(QLatin1String("index"));
        const QJsonValue name = object.value(QLatin1String("name"));
        if (!array.at(n).isObject() || !category.isString() || !index.isDouble() || !name.isString()) {
            refuse(QStringLiteral("Expected an object with a category, an index and a name."));
            continue;
        }
        const NameTable *table = tableNamed(category.toString());
        if (!table) {
            refuse(QStringLiteral("Unknown category \"%1\"; it must be characters, monsters, magic "
                                  "or items.")
                       .arg(category.toString()));
            continue;
        }
        const double number = index.toDouble();
        if (!(number >= 0 && number < table->entries && number == double(int(number)))) {
            refuse(QStringLiteral("Index %1 is not a %2 index (0 to %3).")
                       .arg(QString::number(number), QString::fromLatin1(table->name),
                            QString::number(table->entries - 1)));
            continue;
        }
        const auto [earlier, first] = seenAt.emplace(std::pair(table, int(number)), position);
        if (!first) {
            refuse(QStringLiteral("%1 is already given at entry %2.")
                       .arg(entryLabel(*table, int(number)), QString::number(earlier->second)));
            continue;
        }
        request.entries.push_back({position, table, int(number), name.toString()});
    }
    return request;
}

Request parseAny(const QByteArray &utf8)
{
    for (const char c : utf8) {
        if (c == '[')
            return parseJson(utf8);
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            break;
    }
    return parse(QString::fromUtf8(utf8));
}

Plan check(const RomFile &rom, const Request &request, bool allowBlanks)
{
    Plan plan;
    plan.problems = request.problems;
    plan.byPosition = request.byPosition;
    for (const Entry &entry : request.entries) {
        const NameTable &table = *entry.table;
        const std::int32_t offset = NameTables::nameOffset(table, entry.index);
        const QByteArray current = rom.read(offset, table.nameLength);
        if (sameName(entry.name, GetText::DecodeName(current)))
            continue;
        const QString reason = refusal(rom, table, entry.index, entry.name, allowBlanks);
        if (!reason.isEmpty()) {
            plan.problems.push_back({entry.line, entryLabel(table, entry.index) + QStringLiteral(": ") + reason});
            continue;
        }
        if (savedField(current, entry.name) != current)
            plan.changes.push_back({entry.line, &table, entry.index, entry.name});
    }
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return plan;
}

Plan check(const RomFile &rom, const QString &text, bool allowBlanks)
{
    return check(rom, parse(text), allowBlanks);
}

Outcome apply(RomFile &rom, const Plan &plan, const std::function<bool()> &stop)
{
    if (!plan.problems.empty())
        throw RomError(QStringLiteral("The list has bad lines; nothing was written."));
    Outcome outcome;
    for (const Edit &edit : plan.changes) {
        if (stop && stop())
            break;
        try {
            storeName(rom, *edit.table, edit.index, edit.name);
        } catch (const RomError &e) {
            outcome.failure = e;
            break;
        }
        ++outcome.written;
    }
    if (outcome.written > 0) {
        try {
            rom.sync();
        } catch (const RomError &e) {
            outcome.syncFailure = e;
        }
    }
    return outcome;
}

} // namespace NameList
