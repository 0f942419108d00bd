// info, checksum and table, and how every command finds and reads an
// image's data: the image as a whole, on the road from an edited image to a
// patch that can be published.
#include "Commands.h"

#include "CopierHeader.h"
#include "ImageHeader.h"
#include "NameText.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// No cartridge image comes near this; reading a larger file whole would only
// exhaust memory.
constexpr qint64 LargestImage = 64 * 1024 * 1024;
// The first byte behind the copier header, in the layout's offsets.
constexpr qint64 DataStart = ImageHeader::CopierHeaderSize;

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

} // namespace

qint64 headerBytes(const RomFile &rom)
{
    return ImageHeader::CopierHeaderSize + rom.offsetShift();
}

QString tooShort(qint64 behind)
{
    return QStringLiteral("too short to hold the internal header (%1 bytes behind the copier header; "
                          "the header ends at %2).")
        .arg(behind)
        .arg(ImageHeader::End);
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
