#pragma once

#include "Commands.h"
#include "NameList.h"

#include <string>

// What set and apply share: how a dry run shows its changes, and the
// checksum made sound after the names.
namespace Commands {

// What can be done with characters without a code, said after them.
inline constexpr const char *UncodedHint =
    "; a character table that has them (--table FILE) gives them codes, <$XX> writes any byte, and "
    "--allow-blanks stores them as blanks";

// How the checksum fix after the names ended, once it failed.
std::string checksumFailure(const RomError &failure);

// Whether making the checksum pair sound after the plan's changes would
// write anything: the changes made on a copy in memory, then the pair looked at.
bool checksumWouldChange(const RomFile &rom, const NameList::Plan &plan);

// What a dry run prints: each change as category, index, the old and the new
// name, the old and the new bytes; then, on standard error, how many.
int printChanges(const NameList::Plan &plan, const std::string &image, bool fixing);

// Makes the checksum pair sound after names that changed nothing: only the
// pair can go in.
int fixOnlyTheChecksum(RomFile &rom, const std::string &image, const std::string &where);

} // namespace Commands
