// dump: the names of an image as a list, in the form the options ask for.
#include "Commands.h"

#include "CommandLine.h"
#include "NameList.h"
#include "ProgramVersion.h"
#include "Utf8.h"
#include "lists/Forms.h"

#include <fmt/format.h>

#include <algorithm>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// The file's own name, without the folders before it.
std::string fileName(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The names in the form the options ask for, lines where none does. Where
// the form leaves out entries past the end of a short file, which cannot be
// written, they are said to be left out.
int printList(const Arguments &arguments, const std::vector<NameList::Row> &rows, const std::string &image)
{
    const NameList::Form *form = NameList::formNamed("lines");
    for (const NameList::Form &each : NameList::forms())
        if (arguments.has("--" + std::string(each.keyword)))
            form = &each;
    // The file's name as text, a byte that is not UTF-8 as U+FFFD.
    const NameList::Written list = form->write(rows, {shown(Utf8::repaired(fileName(image))),
                                                      "orvane-names " + versionText()});
    if (!list.made) {
        report(fmt::format("{}: the {} file could not be made: {}", shown(image), form->name, list.why));
        return CommandLine::Refused;
    }
    const auto outside = std::count_if(rows.begin(), rows.end(), [](const NameList::Row &row) {
        return std::int64_t(row.field.size()) < row.table->nameLength;
    });
    if (form->wholeFieldsOnly && outside > 0)
        report(fmt::format("{}: {} entr(ies) lie past the end of the file and are left out.", shown(image), outside));
    return printData(list.text);
}

} // namespace

int dump(const Arguments &arguments)
{
    // Reading only, so a write-protected original can be listed.
    RomFile rom;
    if (!openLaidOut(rom, arguments.operands.at(0), RomFile::Access::ReadOnly, arguments))
        return CommandLine::Refused;
    return printList(arguments, NameList::dump(rom, characters()), arguments.operands.at(0));
}

} // namespace Commands
