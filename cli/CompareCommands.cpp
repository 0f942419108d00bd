// diff and patch: two images side by side, and the patch that takes one to
// the other.
#include "Commands.h"

#include "CopierHeader.h"
#include "ImageHeader.h"
#include "JsonText.h"
#include "NameList.h"
#include "NameTables.h"
#include "Patch.h"
#include "SaveFile.h"
#include "Utf8.h"
#include "StopSignals.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>


namespace Commands {

using CommandLine::report;
using CommandLine::shown;

std::string patchFormat(std::string_view path)
{
    if (Utf8::endsWithWord(path, ".bps"))
        return "BPS";
    if (Utf8::endsWithWord(path, ".ips"))
        return "IPS";
    return {};
}

int diff(const Arguments &arguments)
{
    const std::string &pathA = arguments.operands.at(0);
    const std::string &pathB = arguments.operands.at(1);
    // A published patch in place of the second image: what it would change.
    if (patchAt(pathB))
        return diffPatch(arguments);
    RomFile a, b;
    if (!openLaidOut(a, pathA, RomFile::Access::ReadOnly, arguments)
        || !openLaidOut(b, pathB, RomFile::Access::ReadOnly, arguments) || !isImageSize(a, pathA)
        || !isImageSize(b, pathB))
        return CommandLine::Refused;
    return compareNames(a, b, arguments);
}

int compareNames(const Image &a, const Image &b, const Arguments &arguments)
{
    const Bytes dataA = ImageHeader::readData(a), dataB = ImageHeader::readData(b);
    const std::vector<NameList::Row> rowsA = NameList::dump(a, characters());
    const std::vector<NameList::Row> rowsB = NameList::dump(b, characters());
    std::string lines;
    nlohmann::json array = nlohmann::json::array();
    // Which bytes behind the copier header belong to a name field.
    std::vector<bool> inField(std::max(dataA.size(), dataB.size()), false);
    for (std::size_t r = 0; r < rowsA.size(); ++r) {
        const NameList::Row &rowA = rowsA[r];
        const NameList::Row &rowB = rowsB[r];
        const std::int64_t start = NameTables::nameOffset(*rowA.table, rowA.index) - ImageHeader::CopierHeaderSize;
        for (int k = 0; k < rowA.table->nameLength; ++k)
            if (start + k < std::int64_t(inField.size()))
                inField[std::size_t(start + k)] = true;
        if (rowA.field == rowB.field)
            continue;
        lines += fmt::format("{}\t{}\t{}\t{}\n", rowA.table->name, rowA.index, rowA.name, rowB.name);
        array.push_back({{"category", rowA.table->name}, {"index", rowA.index}, {"a", rowA.name}, {"b", rowB.name}});
    }
    // Every byte outside the name fields that differs, one that only one
    // image holds included.
    std::int64_t others = 0;
    for (std::size_t k = 0; k < inField.size(); ++k)
        if (!inField[k] && (k >= dataA.size() || k >= dataB.size() || dataA[k] != dataB[k]))
            ++others;
    int printed = printData(arguments.has("--json") ? JsonText::indented(array) : lines);
    if (printed == CommandLine::Done && arguments.has("--exit-code") && !array.empty())
        printed = CommandLine::Mismatch;
    report(fmt::format("{} byte(s) outside the name fields differ{}.", others,
                       dataA.size() == dataB.size()
                           ? std::string()
                           : fmt::format(" (the images behind their copier headers are {} and {} bytes long)",
                                         dataA.size(), dataB.size())));
    return printed;
}

int patch(const Arguments &arguments)
{
    if (arguments.has("--apply"))
        return applyPatch(arguments);
    const std::string &original = arguments.operands.at(0);
    const std::string &edited = arguments.operands.at(1);
    const std::string &output = arguments.operands.at(2);
    const std::string format = patchFormat(output);  // checked for usage before we get here
    const auto refuse = [&](const std::string &why) {
        report(shown(output) + ": " + why + " No patch was written.");
        return CommandLine::Refused;
    };
    RomFile a, b;
    CopierHeader::Decision layoutA, layoutB;
    if (!openLaidOut(a, original, RomFile::Access::ReadOnly, arguments, &layoutA)
        || !openLaidOut(b, edited, RomFile::Access::ReadOnly, arguments, &layoutB))
        return CommandLine::Refused;
    // Whatever the spelling or the link, the patch never takes the place of
    // an image it is made from.
    if (const std::string same = sameFileRefusal(output, {{&a, original}, {&b, edited}}); !same.empty())
        return refuse(same);
    const std::string shownA = shown(original), shownB = shown(edited);
    const std::string unlike = Patch::pairRefusal({shownA, layoutA.headered, a.size()},
                                                  {shownB, layoutB.headered, b.size()});
    if (!unlike.empty())
        return refuse(unlike);
    const bool keepHeader = arguments.has("--keep-header"), dropHeader = arguments.has("--drop-header");
    if (keepHeader && !layoutA.headered)
        return refuse("--keep-header: the images have no copier header to keep.");
    if (dropHeader && !layoutA.headered)
        return refuse("--drop-header: the images have no copier header to leave out.");
    if (const std::string taken = takenNameRefusal(output, arguments.has("--force")); !taken.empty())
        return refuse(taken);
    if (a.size() - ImageHeader::headerBytes(a) < ImageHeader::End)
        return refuse("the images are " + ImageHeader::tooShort(a.size() - ImageHeader::headerBytes(a)));
    if (!isImageSize(a, original) || !isImageSize(b, edited))
        return CommandLine::Refused;
    const Bytes wholeA = a.read(-a.offsetShift(), a.size()), wholeB = b.read(-b.offsetShift(), b.size());
    const Patch::Format form = format == "IPS" ? Patch::Format::Ips : Patch::Format::Bps;
    // For the image the player holds: see Patch::headerKept.
    const std::size_t kept = Patch::headerKept(form, layoutA.headered, keepHeader, dropHeader);
    Patch::Made made;
    try {
        made = Patch::make(form, wholeA, wholeB, layoutA.headered, kept);
    } catch (const RomError &e) {
        return refuse(e.message());
    }
    StopSignals::catchFromNowOn();
    const std::string failure = saveWhole(output, textOf(made.bytes), arguments.has("--force"));
    if (!failure.empty())
        return refuse(failure + '.');
    CommandLine::noteWritten();
    report(shown(output) + ": " + Patch::summary(form, made));
    if (layoutA.headered && kept == 0) {
        std::int64_t inHeader = 0;
        for (std::size_t k = 0; k < std::size_t(ImageHeader::CopierHeaderSize); ++k)
            inHeader += wholeA[k] != wholeB[k];
        if (inHeader > 0)
            report(fmt::format("{}: {} byte(s) differ inside the copier headers, which the patch leaves out ({}).",
                               shown(output), inHeader,
                               form == Patch::Format::Ips ? "without --drop-header they go in"
                                                          : "--keep-header puts them in"));
    }
    if (made.checksumBroken)
        report(fmt::format("{0}: warning: its checksum pair is not sound, though the original's is, so the "
                           "patched image will look damaged; run 'orvane-names checksum --fix {0}' and make "
                           "the patch again.",
                           shown(edited)));
    return CommandLine::Done;
}

} // namespace Commands
