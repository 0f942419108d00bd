// diff and patch: two images side by side, and the patch that takes one to
// the other.
#include "Commands.h"

#include "CopierHeader.h"
#include "ImageHeader.h"
#include "NameList.h"
#include "NameTables.h"
#include "Patch.h"
#include "SaveFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace Commands {

using CommandLine::report;
using CommandLine::shown;

QString patchFormat(const QByteArray &path)
{
    const QByteArray lower = path.toLower();
    if (lower.endsWith(".bps"))
        return QStringLiteral("BPS");
    if (lower.endsWith(".ips"))
        return QStringLiteral("IPS");
    return {};
}
int diff(const Arguments &arguments)
{
    const QByteArray &pathA = arguments.operands.at(0);
    const QByteArray &pathB = arguments.operands.at(1);
    RomFile a, b;
    QByteArray dataA, dataB;
    if (!openLaidOut(a, pathA, RomFile::Access::ReadOnly, arguments)
        || !openLaidOut(b, pathB, RomFile::Access::ReadOnly, arguments) || !readData(a, pathA, dataA)
        || !readData(b, pathB, dataB))
        return CommandLine::Refused;

    const std::vector<NameList::Row> rowsA = NameList::dump(a);
    const std::vector<NameList::Row> rowsB = NameList::dump(b);
    QString lines;
    QJsonArray array;
    // Which bytes behind the copier header belong to a name field.
    QByteArray inField(std::max(dataA.size(), dataB.size()), '\0');
    for (std::size_t r = 0; r < rowsA.size(); ++r) {
        const NameList::Row &rowA = rowsA[r];
        const NameList::Row &rowB = rowsB[r];
        const qint64 start = NameTables::nameOffset(*rowA.table, rowA.index) - ImageHeader::CopierHeaderSize;
        for (int k = 0; k < rowA.table->nameLength; ++k)
            if (start + k < inField.size())
                inField[start + k] = 1;
        if (rowA.field == rowB.field)
            continue;
        const QString category = QString::fromLatin1(rowA.table->name);
        lines += QStringList{category, QString::number(rowA.index), rowA.name, rowB.name}.join(u'\t') + u'\n';
        array.append(QJsonObject{{QStringLiteral("category"), category},
                                 {QStringLiteral("index"), rowA.index},
                                 {QStringLiteral("a"), rowA.name},
                                 {QStringLiteral("b"), rowB.name}});
    }
    // Every byte outside the name fields that differs, one that only one
    // image holds included.
    qint64 others = 0;
    for (qsizetype k = 0; k < inField.size(); ++k)
        if (!inField.at(k) && (k >= dataA.size() || k >= dataB.size() || dataA.at(k) != dataB.at(k)))
            ++others;
    int printed = printData(arguments.has("--json") ? QJsonDocument(array).toJson(QJsonDocument::Indented)
                                                     : lines.toUtf8());
    if (printed == CommandLine::Done && arguments.has("--exit-code") && !array.isEmpty())
        printed = CommandLine::Mismatch;
    report(QStringLiteral("%1 byte(s) outside the name fields differ%2.")
               .arg(others)
               .arg(dataA.size() == dataB.size()
                        ? QString()
                        : QStringLiteral(" (the images behind their copier headers are %1 and %2 bytes long)")
                              .arg(dataA.size())
                              .arg(dataB.size())));
    return printed;
}

int patch(const Arguments &arguments)
{
    const QByteArray &original = arguments.operands.at(0);
    const QByteArray &edited = arguments.operands.at(1);
    const QByteArray &output = arguments.operands.at(2);
    const QString format = patchFormat(output);  // checked for usage before we get here
    const auto refuse = [&](const QString &why) {
        report(shown(output) + QStringLiteral(": ") + why + QStringLiteral(" No patch was written."));
        return CommandLine::Refused;
    };
    RomFile a, b;
    CopierHeader::Decision layoutA, layoutB;
    if (!openLaidOut(a, original, RomFile::Access::ReadOnly, arguments, &layoutA)
        || !openLaidOut(b, edited, RomFile::Access::ReadOnly, arguments, &layoutB))
        return CommandLine::Refused;
    // Whatever the spelling or the link, the patch never takes the place of
    // an image it is made from.
    for (const auto &[rom, path] : {std::pair{&a, original}, std::pair{&b, edited}})
        if (rom->isFileAt(output))
            return refuse(QStringLiteral("it is the same file as %1.").arg(shown(path)));
    if (layoutA.headered != layoutB.headered)
        return refuse(QStringLiteral("%1 has a copier header and %2 has none; remove or add one so "
                                     "that both are alike.")
                          .arg(shown(layoutA.headered ? original : edited), shown(layoutA.headered ? edited : original)));
    if (a.size() != b.size())
        return refuse(QStringLiteral("%1 is %2 bytes long and %3 is %4; a patch here is between images of "
                                     "one size.")
                          .arg(shown(original), QString::number(a.size()), shown(edited), QString::number(b.size())));
    const bool keepHeader = arguments.has("--keep-header");
    if (keepHeader && !layoutA.headered)
        return refuse(QStringLiteral("--keep-header: the images have no copier header to keep."));
    struct stat existing {};
    if (!arguments.has("--force") && ::lstat(output.constData(), &existing) == 0)
        return refuse(QStringLiteral("the file exists (--force replaces it)."));
    if (a.size() - headerBytes(a) < ImageHeader::End)
        return refuse(QStringLiteral("the images are ") + tooShort(a.size() - headerBytes(a)));
    // The patch is made against the data behind the copier header, as
    // patchers and dump collections expect, unless asked to keep it in.
    const QByteArray headerA = a.read(-a.offsetShift(), headerBytes(a));
    const QByteArray headerB = b.read(-b.offsetShift(), headerBytes(b));
    if (keepHeader) {
        a.setOffsetShift(-ImageHeader::CopierHeaderSize);
        b.setOffsetShift(-ImageHeader::CopierHeaderSize);
    }
    QByteArray source, target;
    if (!readData(a, original, source) || !readData(b, edited, target))
        return CommandLine::Refused;
    QByteArray bytes;
    try {
        bytes = format == u"BPS" ? Patch::makeBps(source, target) : Patch::makeIps(source, target);
    } catch (const RomError &e) {
        return refuse(e.message());
    }
    const QString failure = saveWhole(output, bytes, arguments.has("--force"));
    if (!failure.isEmpty())
        return refuse(failure + u'.');
    qint64 changed = 0;
    for (qsizetype k = 0; k < source.size(); ++k)
        changed += source.at(k) != target.at(k);
    report(QStringLiteral("%1: %2 patch of %3 bytes for %4 changed byte(s); the original's CRC-32 is %5.")
               .arg(shown(output), format, QString::number(bytes.size()), QString::number(changed),
                    QStringLiteral("%1").arg(ImageHeader::crc32(source), 8, 16, QChar(u'0')).toUpper()));
    if (!keepHeader) {
        qint64 inHeader = 0;
        for (qsizetype k = 0; k < headerA.size(); ++k)
            inHeader += k >= headerB.size() || headerA.at(k) != headerB.at(k);
        if (inHeader > 0)
            report(QStringLiteral("%1: %2 byte(s) differ inside the copier headers, which the patch leaves out "
                                  "(--keep-header puts them in).")
                       .arg(shown(output))
                       .arg(inHeader));
    }
    // Players' emulators call an image with an unsound pair damaged.
    const qsizetype skip = keepHeader ? ImageHeader::CopierHeaderSize : 0;
    if (ImageHeader::inspect(source.mid(skip)).checksumValid && !ImageHeader::inspect(target.mid(skip)).checksumValid)
        report(QStringLiteral("%1: warning: its checksum pair is not sound, though the original's is, so the "
                              "patched image will look damaged; run 'orvane-names checksum --fix %1' and make "
                              "the patch again.")
                   .arg(shown(edited)));
    return CommandLine::Done;
}

} // namespace Commands
