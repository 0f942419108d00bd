#pragma once

#include "CommandLine.h"
#include "RomFile.h"

#include <QByteArray>

// The commands of orvane-names. Each checks everything first, then writes,
// reports on standard error and returns an exit status.
namespace Commands {

using CommandLine::Arguments;

int dump(const Arguments &arguments);
int set(const Arguments &arguments);
int apply(const Arguments &arguments);

// Opens the image, or reports why not and returns false.
bool openImage(RomFile &rom, const QByteArray &path, RomFile::Access access);

// Writes data to standard output; a failure (a full disk, a closed pipe) is
// reported and gives Refused, so a script never takes a cut list for whole.
int printData(const QByteArray &bytes);

} // namespace Commands
