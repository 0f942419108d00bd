#pragma once

#include "CharTable.h"
#include "CommandLine.h"
#include "CopierHeader.h"
#include "NameTables.h"
#include "RomError.h"
#include "PatchFile.h"
#include "RomFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The commands of orvane-names. Each checks everything first, then writes,
// reports on standard error and returns an exit status.
namespace Commands {

using CommandLine::Arguments;

int dump(const Arguments &arguments);
int set(const Arguments &arguments);
int apply(const Arguments &arguments);
int info(const Arguments &arguments);
int checksum(const Arguments &arguments);
int diff(const Arguments &arguments);
int patch(const Arguments &arguments);
int table(const Arguments &arguments);

// A patch read back (PatchCommands): info of a patch, diff of an image and
// a patch, and patch --apply PATCH IMAGE OUTPUT.
int patchInfo(const Arguments &arguments);
int diffPatch(const Arguments &arguments);
int applyPatch(const Arguments &arguments);
// The patch format a file starts as, where it opens and starts as one.
std::optional<Patch::Format> patchAt(const std::string &path);

// The character table the names are read and written through: the game's,
// or the game's with the --table FILE that readTableOption read laid over it.
const CharTable &characters();
// Reads --table FILE, where given, before anything is opened; false, with
// the file and the line in the report, where it cannot be read or is refused.
bool readTableOption(const Arguments &arguments);

// Prints the names in which b differs from a, both laid out, as diff does,
// and says how many bytes outside the name fields differ.
int compareNames(const Image &a, const Image &b, const Arguments &arguments);

// Opens the image, or reports why not and returns false: a file that
// FileKind says is no image is refused too.
bool openImage(RomFile &rom, const std::string &path, RomFile::Access access);

// Whether the command writes into its image (set, apply, checksum --fix).
bool writesImage(const Arguments &arguments);

// Points the layout's offsets (which count a copier header) at the open
// image, as CopierHeader decides from --headered or --headerless and the
// image's own evidence. Says on standard error when the decision was only
// assumed, and when the option contradicts the internal header: a warning
// for a command that only reads, a refusal (false) for one that writes.
bool layOut(RomFile &rom, const std::string &path, const Arguments &arguments,
            CopierHeader::Decision *decision = nullptr);

// Opens the image and lays it out as above.
bool openLaidOut(RomFile &rom, const std::string &path, RomFile::Access access, const Arguments &arguments,
                 CopierHeader::Decision *decision = nullptr);

// False, reported, when the file is too large to be an image.
bool isImageSize(const RomFile &rom, const std::string &path);
// The data behind the copier header of an image opened by openLaidOut, read
// whole; false, reported, when the file is too large to be an image.
bool readData(const RomFile &rom, const std::string &path, Bytes &data);

// "the file that was opened, which is no longer at PATH; the file there now
// was not written": where bytes went when the path names another file or none.
std::string goneFromPath(const std::string &path);

// Writes the sound checksum pair into an image opened by openLaidOut when
// the stored one is not sound, syncs, and checks that the path still names
// the file. Returns the failure, if any (mayHaveChanged() once the pair went
// in); says on standard error what it wrote.
std::optional<RomError> fixChecksum(RomFile &rom, const std::string &path);

// The categories --only names, or false, reported as a usage error, where a
// word names none.
bool onlyCategories(const Arguments &arguments, std::vector<const NameTables::NameTable *> &tables);

// "BPS" or "IPS" as the patch's name ends, in any case, or "".
std::string patchFormat(std::string_view path);

// Writes data to standard output; a failure (a full disk, a closed pipe) is
// reported and gives Refused, so a script never takes a cut list for whole.
int printData(std::string_view bytes);

} // namespace Commands
