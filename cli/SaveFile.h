#pragma once

#include "FileAccess.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Writes a file whole or not at all: the bytes go to a new file without a
// name in the same folder, are synced, and only then take the name, so a
// reader never sees half a file and a failure or a kill leaves nothing
// behind. Unless replace is set, a file that already has the name is never
// touched, even one that appears while the bytes are being written; a file
// that is replaced keeps its mode. Once StopSignals catch Ctrl+C and the
// like, a stop before the file takes its name leaves no file at all.
// Returns an empty string, or the reason.
std::string saveWhole(const std::string &path, std::string_view bytes, bool replace);

// Writes all the bytes to the file at its own position, finishing short
// writes; the failure when it cannot.
std::optional<FileAccess::IoFailure> writeAll(FileAccess::FileHandle file, std::string_view bytes);

class RomFile;

// Why a file the command writes may not take the name: it is, whatever the
// spelling or the link, one of the open files it is made from. Empty when
// it is none of them.
struct OpenInput {
    const RomFile *file;
    const std::string &path;
};
std::string sameFileRefusal(const std::string &output, std::initializer_list<OpenInput> inputs);

// Why the name is taken: something has it already, a dangling link too,
// and replace was not asked for. Empty when the name is free.
std::string takenNameRefusal(const std::string &output, bool replace);
