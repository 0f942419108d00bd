// A published patch read back: info of a patch, diff of an image and a
// patch, and patch --apply.
#include "Commands.h"

#include "ImageHeader.h"
#include "JsonText.h"
#include "MemoryImage.h"
#include "NameTables.h"
#include "PatchFile.h"
#include "SaveFile.h"
#include "StopSignals.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

namespace Commands {

using CommandLine::report;
using CommandLine::shown;

namespace {

// Opens a patch, or reports why not. It is opened as an image is, so a FIFO
// or a device is refused before it is opened.
bool openPatch(RomFile &file, const std::string &path)
{
    if (file.open(path, RomFile::Access::ReadOnly))
        return true;
    report(shown(path) + ": " + file.errorString());
    return false;
}

// Reads an open patch whole, or reports why not.
bool readPatch(const RomFile &file, const std::string &path, Bytes &bytes)
{
    if (ImageHeader::tooLarge(file.size())) {
        report(fmt::format("{}: {} bytes, larger than any patch of an image.", shown(path), file.size()));
        return false;
    }
    bytes = file.read(0, file.size());
    return true;
}

bool readPatch(const std::string &path, Bytes &bytes)
{
    RomFile file;
    return openPatch(file, path) && readPatch(file, path, bytes);
}

std::string crcText(ByteView bytes)
{
    return fmt::format("{:08X}", ImageHeader::crc32(bytes));
}

// The image a patch makes of the open one, copier header and all, or
// nothing, reported, by the core's rule (Patch::applyToFile); its notes
// are added, naming both files.
std::optional<Bytes> patched(const RomFile &rom, const std::string &imagePath, ByteView patch,
                             const std::string &patchPath, std::vector<std::string> &notes, const char *nothing)
{
    try {
        Patch::OnFile made = Patch::applyToFile(patch, rom.read(-rom.offsetShift(), rom.size()),
                                                std::size_t(ImageHeader::headerBytes(rom)));
        for (const Patch::Note &note : made.notes)
            notes.push_back(shown(patchPath) + ": " + Patch::sentence(note, shown(imagePath)));
        return std::move(made.bytes);
    } catch (const RomError &e) {
        report(shown(patchPath) + ": " + e.message() + ' ' + nothing);
        return std::nullopt;
    }
}

} // namespace

std::optional<Patch::Format> patchAt(const std::string &path)
{
    RomFile file;
    if (!file.open(path, RomFile::Access::ReadOnly))
        return std::nullopt;
    try {
        return Patch::formatOf(file.read(0, std::min<std::int64_t>(file.size(), 8)));
    } catch (const RomError &) {
        return std::nullopt;
    }
}

int patchInfo(const Arguments &arguments)
{
    const std::string &path = arguments.operands.at(0);
    Bytes bytes;
    if (!readPatch(path, bytes))
        return CommandLine::Refused;
    Patch::Contents contents;
    try {
        contents = Patch::read(bytes);
    } catch (const RomError &e) {
        report(shown(path) + ": " + e.message());
        return CommandLine::Refused;
    }
    const bool bps = contents.format == Patch::Format::Bps;
    std::int64_t first = 0, end = 0;
    for (const Patch::Span &record : contents.records) {
        first = end == 0 ? record.offset : std::min(first, record.offset);
        end = std::max(end, record.offset + record.length);
    }
    if (arguments.has("--json")) {
        using nlohmann::json;
        json object{{"format", Patch::name(contents.format)}, {"size", bytes.size()}};
        if (bps) {
            object["sourceSize"] = contents.sourceSize;
            object["sourceCrc32"] = fmt::format("{:08X}", contents.sourceCrc);
            object["targetSize"] = contents.targetSize;
            object["targetCrc32"] = fmt::format("{:08X}", contents.targetCrc);
            object["metadata"] = Utf8::repaired(contents.metadata);
        } else {
            object["records"] = contents.records.size();
            object["bytesWritten"] = contents.bytesWritten;
            object["firstOffset"] = first;
            object["end"] = end;
            object["truncatedTo"] = contents.truncatedTo ? json(*contents.truncatedTo) : json();
        }
        return printData(JsonText::indented(object));
    }
    std::string text = fmt::format("patch: {}, {} bytes\n", Patch::name(contents.format), bytes.size());
    if (bps) {
        text += fmt::format("source: {} bytes, CRC-32 {:08X}\n", contents.sourceSize, contents.sourceCrc);
        text += fmt::format("target: {} bytes, CRC-32 {:08X}\n", contents.targetSize, contents.targetCrc);
        text += fmt::format("metadata: {}\n", contents.metadata.empty() ? std::string("none")
                                                                       : '"' + shown(contents.metadata) + '"');
    } else {
        text += fmt::format("records: {}\n", contents.records.size());
        text += fmt::format("bytes written: {}", contents.bytesWritten);
        text += contents.records.empty() ? std::string("\n") : fmt::format(", from 0x{:06X} to 0x{:06X}\n", first, end - 1);
        if (contents.truncatedTo)
            text += fmt::format("cuts the image to: {} bytes\n", *contents.truncatedTo);
    }
    return printData(text);
}

int diffPatch(const Arguments &arguments)
{
    const std::string &imagePath = arguments.operands.at(0);
    const std::string &patchPath = arguments.operands.at(1);
    RomFile rom;
    Bytes patch;
    if (!openLaidOut(rom, imagePath, RomFile::Access::ReadOnly, arguments) || !isImageSize(rom, imagePath)
        || !readPatch(patchPath, patch))
        return CommandLine::Refused;
    std::vector<std::string> notes;
    const std::optional<Bytes> made = patched(rom, imagePath, patch, patchPath, notes, "Nothing was compared.");
    if (!made)
        return CommandLine::Refused;
    for (const std::string &note : notes)
        report(note);
    MemoryImage before(rom.read(-rom.offsetShift(), rom.size())), after(*made);
    before.setOffsetShift(rom.offsetShift());
    after.setOffsetShift(rom.offsetShift());
    return compareNames(before, after, arguments);
}

int applyPatch(const Arguments &arguments)
{
    const std::string &patchPath = arguments.operands.at(0);
    const std::string &imagePath = arguments.operands.at(1);
    const std::string &output = arguments.operands.at(2);
    const auto refuse = [&](const std::string &why) {
        report(shown(output) + ": " + why + " Nothing was written.");
        return CommandLine::Refused;
    };
    RomFile rom, patchFile;
    Bytes patch;
    if (!openLaidOut(rom, imagePath, RomFile::Access::ReadOnly, arguments) || !isImageSize(rom, imagePath)
        || !openPatch(patchFile, patchPath) || !readPatch(patchFile, patchPath, patch))
        return CommandLine::Refused;
    if (const std::string same = sameFileRefusal(output, {{&rom, imagePath}, {&patchFile, patchPath}}); !same.empty())
        return refuse(same);
    if (const std::string taken = takenNameRefusal(output, arguments.has("--force")); !taken.empty())
        return refuse(taken);
    std::vector<std::string> notes;
    const std::optional<Bytes> made = patched(rom, imagePath, patch, patchPath, notes, "Nothing was written.");
    if (!made)
        return CommandLine::Refused;
    for (const std::string &note : notes)
        report(note);
    StopSignals::catchFromNowOn();
    const std::string failure = saveWhole(output, textOf(*made), arguments.has("--force"));
    if (!failure.empty())
        return refuse(failure + '.');
    CommandLine::noteWritten();
    const std::size_t header = std::size_t(ImageHeader::headerBytes(rom));
    const ByteView behind = ByteView(*made).subspan(std::min(header, made->size()));
    report(fmt::format("{}: {} with {} applied, {} bytes, CRC-32 {}{}.", shown(output), shown(imagePath),
                       shown(patchPath), made->size(), crcText(*made),
                       header > 0 ? ", behind its copier header " + crcText(behind) : std::string()));
    return CommandLine::Done;
}

} // namespace Commands
