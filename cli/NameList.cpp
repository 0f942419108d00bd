#include "NameList.h"

#include "GetText.h"
#include "RomError.h"
#include "NameText.h"
#include "RomFile.h"
#include "lists/TextList.h"

#include <QLatin1String>

#include <algorithm>
#include <utility>

namespace NameList {
namespace {

using NameTables::NameTable;

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
            const std::int32_t offset = NameTables::nameOffset(table, i);
            Row row{&table, i, std::nullopt, {}, rom.read(offset, table.nameLength), offset + rom.offsetShift()};
            row.name = NameText::fromField(row.field);
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

QString refusal(const RomFile &rom, const NameTable &table, int index, const QString &name,
                bool allowBlanks)
{
    // One arg() call for all three: a name may itself hold "%1".
    const NameText::Encoded encoded = NameText::encode(name);
    if (encoded.bytes.size() > table.nameLength)
        return QStringLiteral("The name \"%1\" needs %2 bytes and the field holds %3.")
            .arg(name, QString::number(encoded.bytes.size()), QString::number(table.nameLength));
    if (!allowBlanks && !encoded.uncoded.isEmpty())
        return QStringLiteral("The name has characters without a code: %1 "
                              "(--allow-blanks stores them as blanks).")
            .arg(encoded.uncoded.join(QStringLiteral(", ")));
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

QString Request::place(int line) const
{
    return (byPosition ? QStringLiteral("entry %1") : QStringLiteral("line %1")).arg(line);
}

void Collector::refuse(int line, const QString &reason)
{
    m_request.problems.push_back({line, reason});
}

void Collector::add(int line, QStringView category, QStringView indexText, const QString &name)
{
    const NameTable *table = tableNamed(category);
    if (!table) {
        refuse(line, QStringLiteral("Unknown category \"%1\"; it must be characters, monsters, magic or items.")
                         .arg(category));
        return;
    }
    const int index = parseIndex(*table, indexText);
    if (index < 0) {
        refuse(line, QStringLiteral("Index \"%1\" is not a %2 index (0 to %3).")
                         .arg(indexText, QString::fromLatin1(table->name), QString::number(table->entries - 1)));
        return;
    }
    const auto [earlier, first] = m_seen.emplace(std::pair(table, index), line);
    if (!first) {
        const QString preposition = m_request.byPosition ? QStringLiteral("at") : QStringLiteral("on");
        refuse(line, QStringLiteral("%1 is already given %2 %3.")
                         .arg(entryLabel(*table, index), preposition, m_request.place(earlier->second)));
        return;
    }
    m_request.entries.push_back({line, table, index, name});
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
        const QByteArray after = NameText::toField(entry.name, table.nameLength);
        if (after != current)
            plan.changes.push_back({entry.line, &table, entry.index, current, after});
    }
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return plan;
}

Plan check(const RomFile &rom, const QString &text, bool allowBlanks)
{
    return check(rom, Text::read(text), allowBlanks);
}

void write(RomFile &rom, const Edit &edit)
{
    rom.writeField(NameTables::nameOffset(*edit.table, edit.index), edit.after);
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
            write(rom, edit);
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
