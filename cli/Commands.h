#pragma once

#include "CommandLine.h"
#include "RomError.h"
#include "RomFile.h"

#include <QByteArray>

#include <optional>

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

// Opens the image, or reports why not and returns false.
bool openImage(RomFile &rom, const QByteArray &path, RomFile::Access access);

// Whether the image has a copier header: as --headered or --headerless say,
// or else as its size says.
bool hasCopierHeader(const Arguments &arguments, qint64 size);

// Opens the image and points the layout's offsets (which count a copier
// header) at it, whether it has one or not.
bool openLaidOut(RomFile &rom, const QByteArray &path, RomFile::Access access,
                 const Arguments &arguments);

// The data behind the copier header of an image opened by openLaidOut, read
// whole; false, reported, when the file is too large to be an image.
bool readData(const RomFile &rom, const QByteArray &path, QByteArray &data);

// Why the image cannot hold the internal header's checksum, or "".
QString cannotHoldChecksum(const RomFile &rom);

// Writes the sound checksum pair into an image opened by openLaidOut when
// the stored one is not sound, and syncs. Returns the failure, if any; says
// on standard error what it wrote.
std::optional<RomError> fixChecksum(RomFile &rom, const QByteArray &path);

// "BPS" or "IPS" as the patch's name ends, in any case, or "".
QString patchFormat(const QByteArray &path);

// Writes data to standard output; a failure (a full disk, a closed pipe) is
// reported and gives Refused, so a script never takes a cut list for whole.
int printData(const QByteArray &bytes);

} // namespace Commands
