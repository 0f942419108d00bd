// dump: the names of an image as a list, in the form the options ask for.
#include "Commands.h"

#include "CommandLine.h"
#include "NameList.h"
#include "ProgramVersion.h"
#include "Utf8.h"
#include "lists/Export.h"

#include <fmt/format.h>

#include <algorithm>

namespace Commands {
namespace {

using CommandLine::report;
using CommandLine::shown;

// The names in the form the options ask for, lines where none does. Where
// the form leaves out entries past the end of a short file, which cannot be
// written, they are said to be left out.
int printList(const Arguments &arguments, const NameList::ListChoice &choice, const std::vector<NameList::Row> &rows,
              const std::string &image)
{
    // The file's name as text, a byte that is not UTF-8 as U+FFFD.
    const NameList::Written list = NameList::writeList(rows, choice, NameList::originOf(image, versionText()));
    if (!list.made) {
        report(fmt::format("{}: the {} file could not be made: {}", shown(image), choice.form->name, list.why));
        return CommandLine::Refused;
    }
    const auto outside = std::count_if(rows.begin(), rows.end(), [](const NameList::Row &row) {
        return std::int64_t(row.field.size()) < row.table->nameLength;
    });
    if (choice.form->wholeFieldsOnly && outside > 0)
        report(fmt::format("{}: {} entr(ies) lie past the end of the file and are left out.", shown(image), outside));
    if (arguments.has("--changed-from"))
        report(fmt::format("{}: {} name(s) differ from {}.", shown(image), rows.size(),
                           shown(arguments.value("--changed-from").value_or(""))));
    return printData(list.text);
}

} // namespace

int dump(const Arguments &arguments)
{
    NameList::ListChoice choice;
    choice.form = NameList::formNamed("lines");
    for (const NameList::Form &each : NameList::forms())
        if (arguments.has("--" + std::string(each.keyword)))
            choice.form = &each;
    choice.byteOrderMark = arguments.has("--bom");
    choice.characters = &characters();
    if (!onlyCategories(arguments, choice.only))
        return CommandLine::Usage;
    // Reading only, so a write-protected original can be listed.
    const std::string &image = arguments.operands.at(0);
    RomFile original, rom;
    if (arguments.has("--changed-from")) {
        if (!openLaidOut(original, arguments.value("--changed-from").value_or(""), RomFile::Access::ReadOnly, arguments))
            return CommandLine::Refused;
        choice.changedFrom = &original;
    }
    if (!openLaidOut(rom, image, RomFile::Access::ReadOnly, arguments))
        return CommandLine::Refused;
    return printList(arguments, choice, NameList::listedRows(rom, choice), image);
}

bool onlyCategories(const Arguments &arguments, std::vector<const NameTables::NameTable *> &tables)
{
    if (!arguments.has("--only"))
        return true;
    std::string why;
    tables = NameList::tablesNamed(arguments.value("--only").value_or(""), why);
    if (!why.empty())
        report("--only: " + shown(why) + "\nTry 'orvane-names --help'.");
    return why.empty();
}

} // namespace Commands
