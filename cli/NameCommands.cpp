// dump, set and apply: the names of an image as text and back.
#include "Commands.h"

#include "ImageHeader.h"
#include "NameList.h"
#include "NameText.h"
#include "ProgramVersion.h"
#include "SaveFile.h"
#include "lists/CsvList.h"
#include "lists/JsonList.h"
#include "lists/ListFile.h"
#include "lists/PoList.h"
#include "lists/TextList.h"

#include "CommandLine.h"
#include "RomError.h"
#include "StopSignals.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// A full dump is under 100 KB; anything this large is not a list of names.
constexpr qint64 ListLimit = 16 * 1024 * 1024;
// A list's problems reported one by one; past these, only how many more.
constexpr std::size_t ProblemsShown = 20;

// Reads the list, or says why not. Never more than the limit plus one byte is
// read, so /dev/zero or a huge file ends in a refusal rather than a crash.
bool readList(const QByteArray &path, QByteArray &bytes, QString &why)
{
    const bool fromStdin = path == "-";
    const int fd = fromStdin ? STDIN_FILENO : ::open(path.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = CommandLine::systemReason(errno);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    bool ok = true;
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = CommandLine::systemReason(errno);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > ListLimit) {
            why = QStringLiteral("larger than 16 MiB, too large for a list of names");
            ok = false;
            break;
        }
        bytes.append(chunk, n);
    }
    if (!fromStdin)
        ::close(fd);
    return ok;
}

QString listName(const QByteArray &path)
{
    return path == "-" ? QStringLiteral("standard input") : shown(path);
}

// What a list's places are called: lines, or entries in a JSON list.
QString where(const NameList::Plan &plan)
{
    return plan.byPosition ? QStringLiteral("entry") : QStringLiteral("line");
}

// "the list's changes up to line 12 (items 7)"
QString upTo(const NameList::Plan &plan, const NameList::Edit &last)
{
    return QStringLiteral("the list's changes up to %1 %2 (%3)")
        .arg(where(plan))
        .arg(last.line)
        .arg(NameList::entryLabel(*last.table, last.index));
}

// How the checksum fix after the names ended, once it failed.
QString checksumFailure(const RomError &failure)
{
    return failure.mayHaveChanged() ? QStringLiteral("then the checksum: ") + failure.message()
                                    : QStringLiteral("but the checksum was not fixed: ") + failure.message();
}

// What a dry run prints: each change as category, index, the old and the new
// name, the old and the new bytes; then, on standard error, how many.
int printChanges(const NameList::Plan &plan, const QByteArray &image, bool fixing)
{
    QString lines;
    for (const NameList::Edit &edit : plan.changes) {
        const int length = edit.table->nameLength;
        lines += QStringList{QString::fromLatin1(edit.table->name), QString::number(edit.index),
                             NameText::fromField(edit.before), NameText::fromField(edit.after),
                             NameList::hexColumn(edit.before, length), NameList::hexColumn(edit.after, length)}
                     .join(u'\t')
               + u'\n';
    }
    const int printed = printData(lines.toUtf8());
    if (printed != CommandLine::Done)
        return printed;
    report(QStringLiteral("%1: %2 name(s) would change%3; a dry run writes nothing.")
               .arg(shown(image), QString::number(plan.changes.size()),
                    fixing ? QStringLiteral(", then the checksum pair would be made sound") : QString()));
    return CommandLine::Done;
}

// The names as a PO file. Entries past the end of a short file cannot be
// written, so they are left out, and said to be.
int printPo(const std::vector<NameList::Row> &rows, const QByteArray &image)
{
    QByteArray po;
    QString why;
    const QString project = shown(QFileInfo(QFile::decodeName(image)).fileName().toUtf8());
    if (!NameList::Po::write(rows, project, QStringLiteral("orvane-names ") + versionText(), po, why)) {
        report(QStringLiteral("%1: the PO file could not be made: %2").arg(shown(image), why));
        return CommandLine::Refused;
    }
    const auto outside = std::count_if(rows.begin(), rows.end(), [](const NameList::Row &row) {
        return row.field.size() < row.table->nameLength;
    });
    if (outside > 0)
        report(QStringLiteral("%1: %2 entr(ies) lie past the end of the file and are left out.")
                   .arg(shown(image))
                   .arg(outside));
    return printData(po);
}

} // namespace

bool openImage(RomFile &rom, const QByteArray &path, RomFile::Access access)
{
    if (rom.openNative(path, access))
        return true;
    report(shown(path) + QStringLiteral(": ") + rom.errorString());
    return false;
}

int printData(const QByteArray &bytes)
{
    if (!writeAll(STDOUT_FILENO, bytes)) {
        report(QStringLiteral("standard output: ") + CommandLine::systemReason(errno));
        return CommandLine::Refused;
    }
    return CommandLine::Done;
}

int dump(const Arguments &arguments)
{
    // Reading only, so a write-protected original can be listed.
    RomFile rom;
    if (!openLaidOut(rom, arguments.operands.at(0), RomFile::Access::ReadOnly, arguments))
        return CommandLine::Refused;
    const std::vector<NameList::Row> rows = NameList::dump(rom);
    if (arguments.has("--json"))
        return printData(NameList::Json::write(rows));
    if (arguments.has("--csv"))
        return printData(NameList::Csv::write(rows));
    if (arguments.has("--po"))
        return printPo(rows, arguments.operands.at(0));
    return printData(NameList::Text::write(rows));
}

int set(const Arguments &arguments)
{
    const QByteArray &image = arguments.operands.at(0);
    bool ok = true;
    const QString category = CommandLine::text(arguments.operands.at(1), &ok);
    const NameTables::NameTable *table = NameList::tableNamed(category);
    if (!table) {
        report(shown(arguments.operands.at(1))
               + QStringLiteral(": unknown category; it must be characters, monsters, magic or items."));
        return CommandLine::Refused;
    }
    const QString indexText = CommandLine::text(arguments.operands.at(2), &ok);
    const int index = NameList::parseIndex(*table, indexText);
    if (index < 0) {
        report(QStringLiteral("%1 %2: not an index of %1 (0 to %3).")
                   .arg(category, shown(arguments.operands.at(2)), QString::number(table->entries - 1)));
        return CommandLine::Refused;
    }
    const QString name = CommandLine::text(arguments.operands.at(3), &ok);
    if (!ok) {
        report(QStringLiteral("the name \"%1\" is not UTF-8 text; nothing was written.")
                   .arg(shown(arguments.operands.at(3))));
        return CommandLine::Refused;
    }

    const bool dryRun = arguments.has("--dry-run");
    RomFile rom;
    if (!openLaidOut(rom, image, dryRun ? RomFile::Access::ReadOnly : RomFile::Access::ReadWrite, arguments))
        return CommandLine::Refused;
    const QString where = shown(image) + QStringLiteral(": ") + NameList::entryLabel(*table, index)
                        + QStringLiteral(": ");
    // The checks of apply: a name the field already holds, as dumped now or
    // earlier, changes nothing.
    NameList::Request request;
    request.entries.push_back({1, table, index, name});
    const NameList::Plan plan = NameList::check(rom, request, arguments.has("--allow-blanks"));
    QString refusal = plan.problems.empty()
                        ? QString()
                        : NameList::refusal(rom, *table, index, name, arguments.has("--allow-blanks"));
    if (refusal.isEmpty() && arguments.has("--fix-checksum"))
        refusal = cannotHoldChecksum(rom);
    if (!refusal.isEmpty()) {
        report(where + refusal + QStringLiteral(" Nothing was written."));
        return CommandLine::Refused;
    }
    if (dryRun)
        return printChanges(plan, image, arguments.has("--fix-checksum"));
    if (plan.changes.empty() && !arguments.has("--fix-checksum"))
        return CommandLine::Done;
    try {
        for (const NameList::Edit &change : plan.changes)
            NameList::write(rom, change);
    } catch (const RomError &e) {
        if (e.mayHaveChanged()) {
            report(where + e.message());
            return CommandLine::PartWay;
        }
        report(where + e.message() + QStringLiteral(" Nothing was written."));
        return CommandLine::Refused;
    }
    try {
        rom.sync();
    } catch (const RomError &e) {
        report(where + e.message() + QStringLiteral(" The name went in but may not be on the disk yet."));
        return CommandLine::PartWay;
    }
    if (!rom.pathNamesOpenedFile()) {
        report(where + QStringLiteral("the name went into ") + goneFromPath(image) + u'.');
        return CommandLine::PartWay;
    }
    if (arguments.has("--fix-checksum")) {
        if (const std::optional<RomError> failure = fixChecksum(rom, image)) {
            report(where + QStringLiteral("the name went in and is synced, ") + checksumFailure(*failure));
            return CommandLine::PartWay;
        }
    }
    return CommandLine::Done;
}

int apply(const Arguments &arguments)
{
    const QByteArray &image = arguments.operands.at(0);
    const QByteArray &listPath = arguments.operands.at(1);
    QByteArray bytes;
    QString why;
    if (!readList(listPath, bytes, why)) {
        report(listName(listPath) + QStringLiteral(": ") + why + QStringLiteral("; nothing was written."));
        return CommandLine::Refused;
    }
    const NameList::Request request = NameList::read(bytes, listPath);
    if (!request.unreadable.isEmpty()) {
        report(listName(listPath) + QStringLiteral(": ") + request.unreadable
               + QStringLiteral("; nothing was written."));
        return CommandLine::Refused;
    }
    if (request.fuzzy > 0)
        report(QStringLiteral("%1: %2 fuzzy entr(ies) left out, as not yet translated.")
                   .arg(listName(listPath))
                   .arg(request.fuzzy));

    const bool dryRun = arguments.has("--dry-run");
    RomFile rom;
    if (!openLaidOut(rom, image, dryRun ? RomFile::Access::ReadOnly : RomFile::Access::ReadWrite, arguments))
        return CommandLine::Refused;
    const NameList::Plan plan = NameList::check(rom, request, arguments.has("--allow-blanks"));
    const bool fixing = arguments.has("--fix-checksum");
    const QString noChecksum = fixing ? cannotHoldChecksum(rom) : QString();
    if (!plan.problems.empty() || !noChecksum.isEmpty()) {
        for (std::size_t k = 0; k < std::min(plan.problems.size(), ProblemsShown); ++k)
            report((plan.byPosition ? QStringLiteral("%1: entry %2: %3") : QStringLiteral("%1:%2: %3"))
                       .arg(listName(listPath), QString::number(plan.problems[k].line), plan.problems[k].reason));
        if (plan.problems.size() > ProblemsShown)
            report(QStringLiteral("%1: and %2 more problem(s).")
                       .arg(listName(listPath), QString::number(plan.problems.size() - ProblemsShown)));
        if (!noChecksum.isEmpty())
            report(shown(image) + QStringLiteral(": ") + noChecksum);
        report(shown(image) + QStringLiteral(": nothing was written (%1 problem(s)).")
                                  .arg(plan.problems.size() + (noChecksum.isEmpty() ? 0 : 1)));
        return CommandLine::Refused;
    }
    if (dryRun)
        return printChanges(plan, image, fixing);

    StopSignals::catchFromNowOn();
    const NameList::Outcome outcome = NameList::apply(rom, plan, [] { return StopSignals::received() != 0; });
    const int total = int(plan.changes.size());
    const int written = outcome.written;
    const QString img = shown(image);
    if (written == total && !outcome.syncFailure && (total == 0 || rom.pathNamesOpenedFile())) {
        report(QStringLiteral("%1: %2 name(s) changed.").arg(img, QString::number(written)));
        if (fixing) {
            if (const std::optional<RomError> failure = fixChecksum(rom, image)) {
                report(QStringLiteral("%1: the names went in and are synced, %2").arg(img, checksumFailure(*failure)));
                return CommandLine::PartWay;
            }
        }
        return CommandLine::Done;
    }

    if (outcome.failure) {
        const NameList::Edit &failed = plan.changes[std::size_t(written)];
        report(QStringLiteral("%1: %2 (%3 %4): %5")
                   .arg(img, NameList::entryLabel(*failed.table, failed.index), where(plan),
                        QString::number(failed.line), outcome.failure->message()));
    } else if (written < total) {
        report(QStringLiteral("%1: stopped by %2.")
                   .arg(img, QString::fromLatin1(StopSignals::name(StopSignals::received()))));
    }
    const bool failedChanged = outcome.failure && outcome.failure->mayHaveChanged();
    if (written == 0 && !failedChanged) {
        report(img + QStringLiteral(": nothing was written."));
        return CommandLine::Refused;
    }
    QString went = QStringLiteral("%1 of %2 name(s) went in").arg(written).arg(total);
    if (written > 0) {
        went += outcome.syncFailure
            ? QStringLiteral(" but may not be on the disk yet (%1)").arg(outcome.syncFailure->message())
            : QStringLiteral(" and are synced");
        went += QStringLiteral(": %1").arg(upTo(plan, plan.changes[std::size_t(written - 1)]));
    }
    if (written > 0 && !rom.pathNamesOpenedFile())
        report(QStringLiteral("%1: %2. They went into %3.").arg(img, went, goneFromPath(image)));
    else if (written < total)
        report(QStringLiteral("%1: %2; the other %3 were not written.").arg(img, went, QString::number(total - written)));
    else
        report(QStringLiteral("%1: %2.").arg(img, went));
    return CommandLine::PartWay;
}

} // namespace Commands
