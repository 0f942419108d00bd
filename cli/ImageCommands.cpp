// info, checksum, diff, patch and table: the image as a whole, on the road
// from an edited image to a patch that can be published.
#include "Commands.h"

#include "CopierHeader.h"
#include "ImageHeader.h"
#include "NameList.h"
#include "NameTables.h"
#include "NameText.h"
#include "Patch.h"
#include "SaveFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// No cartridge image comes near this; reading a larger file whole would only
// exhaust memory.
constexpr qint64 LargestImage = 64 * 1024 * 1024;
// The first byte behind the copier header, in the layout's offsets.
constexpr qint64 DataStart = ImageHeader::CopierHeaderSize;

qint64 headerBytes(const RomFile &rom)
{
    return ImageHeader::CopierHeaderSize + rom.offsetShift();
}

// "0x", then upper-case hex digits.
QString hex(uint value, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(value, digits, 16, QChar(u'0')).toUpper();
}

QString hex16(quint16 value)
{
    return hex(value, 4);
}

// A stored value, or "absent" where the image ends before it.
QString hex16Or(const std::optional<quint16> &value)
{
    return value ? hex16(*value) : QStringLiteral("absent");
}

// The title as text fit for a terminal: control characters as \xHH.
QString printable(const QString &title)
{
    QString shownTitle;
    for (const QChar c : title) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) || c == u'\\')
            shownTitle += c == u'\\' ? QStringLiteral("\\\\")
                                     : QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            shownTitle += c;
    }
    return shownTitle;
}

QString tooShort(qint64 behind)
{
    return QStringLiteral("too short to hold the internal header (%1 bytes behind the copier header; "
                          "the header ends at %2).")
        .arg(behind)
        .arg(ImageHeader::End);
}

} // namespace

QString patchFormat(const QByteArray &path)
{
    const QByteArray lower = path.toLower();
    if (lower.endsWith(".bps"))
        return QStringLiteral("BPS");
    if (lower.endsWith(".ips"))
        return QStringLiteral("IPS");
    return {};
}

bool writesImage(const Arguments &arguments)
{
    return arguments.command == "set" || arguments.command == "apply"
        || (arguments.command == "checksum" && arguments.has("--fix"));
}

bool layOut(RomFile &rom, const QByteArray &path, const Arguments &arguments, CopierHeader::Decision *made)
{
    std::optional<bool> given;
    if (arguments.has("--headered") || arguments.has("--headerless"))
        given = arguments.has("--headered");
    const CopierHeader::Decision decision = CopierHeader::decide(rom, given);
    if (decision.contradicted()) {
        const QString why = given == true
            ? QStringLiteral("--headered says the image has a copier header, but the checksum pair of its "
                             "internal header is sound only where it lies without one (file offset 0xFFDC)")
            : QStringLiteral("--headerless says the image has no copier header, but the checksum pair of its "
                             "internal header is sound only where it lies behind one (file offset 0x101DC)");
        if (writesImage(arguments)) {
            report(shown(path) + QStringLiteral(": ") + why + QStringLiteral("; nothing was written."));
            return false;
        }
        report(shown(path) + QStringLiteral(": warning: ") + why + QStringLiteral("; read as the option says."));
    }
    if (decision.evidence == CopierHeader::Evidence::Assumed)
        report(QStringLiteral("%1: %2 bytes is not a multiple of 1024 or 512 past one, and the internal header "
                              "does not show where the data start; read as having a 512-byte copier header "
                              "(--headered or --headerless says which).")
                   .arg(shown(path))
                   .arg(rom.size()));
    CopierHeader::lay(rom, decision);
    if (made)
        *made = decision;
    return true;
}

bool openLaidOut(RomFile &rom, const QByteArray &path, RomFile::Access access, const Arguments &arguments,
                 CopierHeader::Decision *decision)
{
    return openImage(rom, path, access) && layOut(rom, path, arguments, decision);
}

bool readData(const RomFile &rom, const QByteArray &path, QByteArray &data)
{
    const qint64 size = rom.size();
    if (size > LargestImage) {
        report(shown(path) + QStringLiteral(": %1 bytes, larger than any cartridge image (%2 MiB at most).")
                                 .arg(size)
                                 .arg(LargestImage >> 20));
        return false;
    }
    data = rom.read(DataStart, std::max<qint64>(0, size - headerBytes(rom)));
    return true;
}

QString cannotHoldChecksum(const RomFile &rom)
{
    const qint64 behind = rom.size() - headerBytes(rom);
    if (rom.size() > LargestImage)
        return QStringLiteral("The image is %1 bytes long, larger than any cartridge image.").arg(rom.size());
    return behind < ImageHeader::End ? QStringLiteral("The image is ") + tooShort(behind) : QString();
}

QString goneFromPath(const QByteArray &path)
{
    return QStringLiteral("the file that was opened, which is no longer at %1; the file there now was not written")
        .arg(shown(path));
}

std::optional<RomError> fixChecksum(RomFile &rom, const QByteArray &path)
{
    try {
        QByteArray data;
        if (!readData(rom, path, data))
            return RomError(QStringLiteral("the image is too large to read whole."));
        const ImageHeader::Report header = ImageHeader::inspect(data);
        if (header.checksumValid)
            return std::nullopt;
        const QString pair = QStringLiteral("the checksum %1 and its complement %2")
                                 .arg(hex16(header.computedChecksum), hex16(header.computedChecksum ^ 0xFFFF));
        rom.writeField(DataStart + ImageHeader::ComplementAt, ImageHeader::soundPair(header.computedChecksum));
        // From here on the four bytes are in the file.
        try {
            rom.sync();
        } catch (const RomError &e) {
            return RomError(QStringLiteral("wrote %1, but they may not be on the disk: %2").arg(pair, e.message()),
                            RomError::Left::MaybeChanged);
        }
        if (!rom.pathNamesOpenedFile())
            return RomError(QStringLiteral("wrote %1 into %2.").arg(pair, goneFromPath(path)),
                            RomError::Left::MaybeChanged);
        report(QStringLiteral("%1: wrote %2.").arg(shown(path), pair));
        return std::nullopt;
    } catch (const RomError &e) {
        return e;
    }
}

int info(const Arguments &arguments)
{
    const QByteArray &path = arguments.operands.at(0);
    RomFile rom;
    QByteArray data;
    CopierHeader::Decision decision;
    if (!openLaidOut(rom, path, RomFile::Access::ReadOnly, arguments, &decision) || !readData(rom, path, data))
        return CommandLine::Refused;
    const ImageHeader::Report header = ImageHeader::inspect(data);
    const bool copier = decision.headered;
    const bool guessed = decision.evidence != CopierHeader::Evidence::Option;
    const QString crc = QStringLiteral("%1").arg(header.crc32, 8, 16, QChar(u'0')).toUpper();

    int status = CommandLine::Done;
    if (data.size() < ImageHeader::End) {
        report(shown(path) + QStringLiteral(": ") + tooShort(data.size()));
        status = CommandLine::Refused;
    }
    if (arguments.has("--json")) {
        const auto number = [](const auto &value) { return value ? QJsonValue(int(*value)) : QJsonValue(); };
        QJsonObject object{
            {QStringLiteral("size"), double(rom.size())},
            {QStringLiteral("copierHeader"), copier},
            {QStringLiteral("copierHeaderGuessed"), guessed},
            {QStringLiteral("headerEvidence"), QString::fromLatin1(CopierHeader::word(decision.evidence))},
            {QStringLiteral("title"), header.title ? QJsonValue(*header.title) : QJsonValue()},
            {QStringLiteral("mapMode"), number(header.mapMode)},
            {QStringLiteral("storedChecksum"), number(header.storedChecksum)},
            {QStringLiteral("storedComplement"), number(header.storedComplement)},
            {QStringLiteral("computedChecksum"), int(header.computedChecksum)},
            {QStringLiteral("checksumValid"), header.checksumValid},
            {QStringLiteral("crc32"), crc},
        };
        const int printed = printData(QJsonDocument(object).toJson(QJsonDocument::Indented));
        return printed != CommandLine::Done ? printed : status;
    }
    QString text;
    text += QStringLiteral("size: %1 bytes\n").arg(rom.size());
    static const QString evidenceWords[] = {
        QStringLiteral("as given"),
        QStringLiteral("from the internal header"),
        QStringLiteral("from the size"),
        QStringLiteral("assumed: neither the size nor the internal header tells"),
    };
    text += QStringLiteral("copier header: %1 (%2)\n")
                .arg(copier ? QStringLiteral("yes") : QStringLiteral("no"),
                     evidenceWords[int(decision.evidence)]);
    text += QStringLiteral("title: %1\n")
                .arg(header.title ? u'"' + printable(*header.title) + u'"' : QStringLiteral("absent"));
    text += QStringLiteral("map mode: %1\n")
                .arg(header.mapMode ? hex(*header.mapMode, 2) : QStringLiteral("absent"));
    text += QStringLiteral("stored checksum: %1\n").arg(hex16Or(header.storedChecksum));
    text += QStringLiteral("stored complement: %1\n").arg(hex16Or(header.storedComplement));
    text += QStringLiteral("computed checksum: %1\n").arg(hex16(header.computedChecksum));
    text += QStringLiteral("checksum: %1\n").arg(header.checksumValid ? QStringLiteral("sound") : QStringLiteral("not sound"));
    text += QStringLiteral("CRC-32: %1\n").arg(crc);
    const int printed = printData(text.toUtf8());
    return printed != CommandLine::Done ? printed : status;
}

int checksum(const Arguments &arguments)
{
    const QByteArray &path = arguments.operands.at(0);
    const bool fix = arguments.has("--fix");
    RomFile rom;
    QByteArray data;
    if (!openLaidOut(rom, path, fix ? RomFile::Access::ReadWrite : RomFile::Access::ReadOnly, arguments)
        || !readData(rom, path, data))
        return CommandLine::Refused;
    const ImageHeader::Report header = ImageHeader::inspect(data);
    const int printed = printData(QStringLiteral("stored %1 (complement %2), computed %3: %4\n")
                                      .arg(hex16Or(header.storedChecksum),
                                           hex16Or(header.storedComplement),
                                           hex16(header.computedChecksum),
                                           header.checksumValid ? QStringLiteral("sound")
                                                                : QStringLiteral("not sound"))
                                      .toUtf8());
    if (data.size() < ImageHeader::End) {
        report(shown(path) + QStringLiteral(": ") + tooShort(data.size())
               + (fix ? QStringLiteral(" Nothing was written.") : QString()));
        return CommandLine::Refused;
    }
    if (header.checksumValid)
        return printed;
    if (!fix)
        return printed != CommandLine::Done ? printed : int(CommandLine::Mismatch);
    if (const std::optional<RomError> failure = fixChecksum(rom, path)) {
        report(shown(path) + QStringLiteral(": ") + failure->message()
               + (failure->mayHaveChanged() ? QString() : QStringLiteral(" Nothing was written.")));
        return failure->mayHaveChanged() ? CommandLine::PartWay : CommandLine::Refused;
    }
    // The pair went in, but the report of what was stored did not get out.
    return printed != CommandLine::Done ? int(CommandLine::PartWay) : int(CommandLine::Done);
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
        const qint64 start = NameTables::nameOffset(*rowA.table, rowA.index) - DataStart;
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

int table(const Arguments &)
{
    // The codec's own decoding, byte by byte, as dump shows it (the ellipsis
    // code as one character), so the file cannot disagree with it.
    QString lines;
    for (int byte = 0; byte < 256; ++byte) {
        const QString text = NameText::character(std::uint8_t(byte));
        if (!text.isEmpty())
            lines += QStringLiteral("%1=%2\n").arg(QString::number(byte, 16).toUpper().rightJustified(2, u'0'), text);
    }
    return printData(lines.toUtf8());
}

} // namespace Commands
