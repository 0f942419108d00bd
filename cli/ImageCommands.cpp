// info, checksum and table, and how every command opens an image, finds and
// reads its data and prints what it was asked for: the image as a whole, on
// the road from an edited image to a patch that can be published.
#include "Commands.h"

#include "CopierHeader.h"
#include "FileKind.h"
#include "ImageHeader.h"
#include "JsonText.h"
#include "NameText.h"
#include "SaveFile.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <unistd.h>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

std::string hex16(std::uint16_t value)
{
    return fmt::format("0x{:04X}", value);
}

// A stored value, or "absent" where the image ends before it.
std::string hex16Or(const std::optional<std::uint16_t> &value)
{
    return value ? hex16(*value) : "absent";
}

// The title as text fit for a terminal: control characters as \xHH.
std::string printable(std::string_view title)
{
    std::string shownTitle;
    for (std::size_t at = 0; at < title.size();) {
        const char32_t c = Utf8::next(title, at);
        if (c == U'\\')
            shownTitle += "\\\\";
        else if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            shownTitle += fmt::format("\\x{:02x}", std::uint32_t(c));
        else
            Utf8::append(shownTitle, c);
    }
    return shownTitle;
}

} // namespace

bool openImage(RomFile &rom, const std::string &path, RomFile::Access access)
{
    if (!rom.open(path, access)) {
        report(shown(path) + ": " + rom.errorString());
        return false;
    }
    if (const std::optional<std::string> why = FileKind::refusal(rom.read(0, FileKind::StartLength), rom.size())) {
        report(shown(path) + ": " + *why);
        rom.close();
        return false;
    }
    return true;
}

int printData(std::string_view bytes)
{
    // Descriptor 1 is /dev/null then, which would take the data silently.
    if (CommandLine::outputClosed()) {
        report("standard output is closed, so the data has nowhere to go.");
        return CommandLine::Refused;
    }
    if (const auto failure = writeAll(STDOUT_FILENO, bytes)) {
        report("standard output: " + failure->reason);
        return CommandLine::Refused;
    }
    return CommandLine::Done;
}

bool writesImage(const Arguments &arguments)
{
    return arguments.command == "set" || arguments.command == "apply"
        || (arguments.command == "checksum" && arguments.has("--fix"));
}

bool layOut(RomFile &rom, const std::string &path, const Arguments &arguments, CopierHeader::Decision *made)
{
    std::optional<bool> given;
    if (arguments.has("--headered") || arguments.has("--headerless"))
        given = arguments.has("--headered");
    const CopierHeader::Decision decision = CopierHeader::decide(rom, given);
    if (decision.contradicted()) {
        const std::string where = given == true ? "without one (file offset 0xFFDC)" : "behind one (file offset 0x101DC)";
        const std::string said = given == true ? "--headered says the image has a copier header"
                                               : "--headerless says the image has no copier header";
        // Only a checksum that matches the image as the header lays it out
        // outweighs the user; a header that merely looks like one does not.
        if (writesImage(arguments) && decision.checksumMatches) {
            report(shown(path) + ": " + said + ", but the checksum pair of its internal header is sound only where it "
                   "lies " + where + ", and the checksum matches the image laid out so; nothing was written.");
            return false;
        }
        report(shown(path) + ": warning: " + said + ", but its internal header looks like one only where it lies "
               + where + "; read as the option says.");
    }
    // The option is taken, but only for this command: the next one without
    // it reads the image by its size again.
    if (decision.overrulesSize())
        report(fmt::format("{}: warning: {}, but its size, {} bytes, says it has {}; read as the option says, this "
                           "time only.",
                           shown(path),
                           *given ? "--headered says the image has a copier header"
                                  : "--headerless says the image has no copier header",
                           rom.size(), *given ? "none" : "one"));
    if (decision.evidence == CopierHeader::Evidence::Assumed)
        report(fmt::format("{}: {} bytes is not a multiple of 1024 or 512 past one, and the internal header "
                           "does not show where the data start; read as having a 512-byte copier header "
                           "(--headered or --headerless says which).",
                           shown(path), rom.size()));
    CopierHeader::lay(rom, decision);
    if (made)
        *made = decision;
    return true;
}

bool openLaidOut(RomFile &rom, const std::string &path, RomFile::Access access, const Arguments &arguments,
                 CopierHeader::Decision *decision)
{
    return openImage(rom, path, access) && layOut(rom, path, arguments, decision);
}

bool isImageSize(const RomFile &rom, const std::string &path)
{
    const std::int64_t size = rom.size();
    if (ImageHeader::tooLarge(size)) {
        report(fmt::format("{}: {} bytes, larger than any cartridge image (under {} MiB).", shown(path), size,
                           ImageHeader::LargestImage >> 20));
        return false;
    }
    return true;
}

bool readData(const RomFile &rom, const std::string &path, Bytes &data)
{
    if (!isImageSize(rom, path))
        return false;
    data = ImageHeader::readData(rom);
    return true;
}

std::string goneFromPath(const std::string &path)
{
    return fmt::format("the file that was opened, which is no longer at {}; the file there now was not written",
                       shown(path));
}

std::optional<RomError> fixChecksum(RomFile &rom, const std::string &path)
{
    try {
        if (ImageHeader::tooLarge(rom.size()))
            return RomError("the image is too large to read whole.");
        const std::optional<std::uint16_t> written = ImageHeader::makeChecksumSound(rom);
        if (!written)
            return std::nullopt;
        CommandLine::noteWritten();
        const std::string pair = fmt::format("the checksum {} and its complement {}", hex16(*written),
                                             hex16(std::uint16_t(*written ^ 0xFFFF)));
        // From here on the four bytes are in the file.
        try {
            rom.sync();
        } catch (const RomError &e) {
            return RomError(fmt::format("wrote {}, but they may not be on the disk: {}", pair, e.message()),
                            RomError::Left::MaybeChanged);
        }
        if (!rom.pathNamesOpenedFile())
            return RomError(fmt::format("wrote {} into {}.", pair, goneFromPath(path)), RomError::Left::MaybeChanged);
        report(fmt::format("{}: wrote {}.", shown(path), pair));
        return std::nullopt;
    } catch (const RomError &e) {
        if (e.mayHaveChanged())
            CommandLine::noteWritten();
        return e;
    }
}

int info(const Arguments &arguments)
{
    const std::string &path = arguments.operands.at(0);
    if (patchAt(path))
        return patchInfo(arguments);
    RomFile rom;
    CopierHeader::Decision decision;
    if (!openLaidOut(rom, path, RomFile::Access::ReadOnly, arguments, &decision) || !isImageSize(rom, path))
        return CommandLine::Refused;
    const ImageHeader::Report header = ImageHeader::inspect(rom);
    const std::int64_t behind = rom.size() - ImageHeader::headerBytes(rom);
    const bool copier = decision.headered;
    const bool guessed = decision.evidence != CopierHeader::Evidence::Option;
    const std::string crc = fmt::format("{:08X}", header.crc32);
    // A patcher that keeps the copier header checks the whole file's.
    const std::string fileCrc = fmt::format("{:08X}", header.fileCrc32);

    int status = CommandLine::Done;
    if (behind < ImageHeader::End) {
        report(shown(path) + ": " + ImageHeader::tooShort(std::max<std::int64_t>(0, behind)));
        status = CommandLine::Refused;
    }
    if (arguments.has("--json")) {
        using nlohmann::json;
        const auto number = [](const auto &value) { return value ? json(int(*value)) : json(); };
        const json object{
            {"size", rom.size()},
            {"copierHeader", copier},
            {"copierHeaderGuessed", guessed},
            {"headerEvidence", CopierHeader::word(decision.evidence)},
            {"title", header.title ? json(*header.title) : json()},
            {"mapMode", number(header.mapMode)},
            {"storedChecksum", number(header.storedChecksum)},
            {"storedComplement", number(header.storedComplement)},
            {"computedChecksum", int(header.computedChecksum)},
            {"checksumValid", header.checksumValid},
            {"crc32", crc},
            {"fileCrc32", fileCrc},
        };
        const int printed = printData(JsonText::indented(object));
        return printed != CommandLine::Done ? printed : status;
    }
    static const char *const evidenceWords[] = {
        "as given",
        "from the internal header",
        "from the size",
        "assumed: neither the size nor the internal header tells",
    };
    std::string text;
    text += fmt::format("size: {} bytes\n", rom.size());
    text += fmt::format("copier header: {} ({})\n", copier ? "yes" : "no", evidenceWords[int(decision.evidence)]);
    text += fmt::format("title: {}\n", header.title ? '"' + printable(*header.title) + '"' : "absent");
    text += fmt::format("map mode: {}\n", header.mapMode ? fmt::format("0x{:02X}", *header.mapMode) : "absent");
    text += fmt::format("stored checksum: {}\n", hex16Or(header.storedChecksum));
    text += fmt::format("stored complement: {}\n", hex16Or(header.storedComplement));
    text += fmt::format("computed checksum: {}\n", hex16(header.computedChecksum));
    text += fmt::format("checksum: {}\n", header.checksumValid ? "sound" : "not sound");
    text += fmt::format("CRC-32: {}\n", crc);
    text += fmt::format("CRC-32 of the whole file: {}\n", fileCrc);
    const int printed = printData(text);
    return printed != CommandLine::Done ? printed : status;
}

int checksum(const Arguments &arguments)
{
    const std::string &path = arguments.operands.at(0);
    const bool fix = arguments.has("--fix");
    RomFile rom;
    if (!openLaidOut(rom, path, fix ? RomFile::Access::ReadWrite : RomFile::Access::ReadOnly, arguments)
        || !isImageSize(rom, path))
        return CommandLine::Refused;
    // The pair as the image holds it when the command ends: after a fix,
    // the one it wrote.
    const auto print = [&](const ImageHeader::Report &header) {
        return printData(fmt::format("stored {} (complement {}), computed {}: {}\n", hex16Or(header.storedChecksum),
                                     hex16Or(header.storedComplement), hex16(header.computedChecksum),
                                     header.checksumValid ? "sound" : "not sound"));
    };
    const ImageHeader::Report header = ImageHeader::inspect(rom);
    const std::int64_t behind = rom.size() - ImageHeader::headerBytes(rom);
    if (behind < ImageHeader::End) {
        print(header);
        report(shown(path) + ": " + ImageHeader::tooShort(std::max<std::int64_t>(0, behind))
               + (fix ? " Nothing was written." : ""));
        return CommandLine::Refused;
    }
    if (header.checksumValid || !fix) {
        const int printed = print(header);
        return printed != CommandLine::Done || header.checksumValid ? printed : int(CommandLine::Mismatch);
    }
    if (const std::optional<RomError> failure = fixChecksum(rom, path)) {
        if (!failure->mayHaveChanged()) {
            print(header);
            report(shown(path) + ": " + failure->message() + " Nothing was written.");
            return CommandLine::Refused;
        }
        report(shown(path) + ": " + failure->message());
        print(ImageHeader::inspect(rom));
        return CommandLine::PartWay;
    }
    // The pair went in, but the report of what is stored now did not get out.
    return print(ImageHeader::inspect(rom)) != CommandLine::Done ? int(CommandLine::PartWay) : int(CommandLine::Done);
}

int table(const Arguments &)
{
    // The codec's own decoding, byte by byte, as dump shows it (the ellipsis
    // code as one character), so the file cannot disagree with it; with
    // --table, the team's table as the other commands read it.
    std::string lines;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text = NameText::character(std::uint8_t(byte), characters());
        if (!text.empty())
            lines += fmt::format("{:02X}={}\n", byte, text);
    }
    return printData(lines);
}

} // namespace Commands
