#pragma once

#include "FileAccess.h"

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
