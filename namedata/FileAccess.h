#pragma once

#include "Bytes.h"
#include "StandIn.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <system_error>

// The calls that reach a file once it is open, and a path's state, in the
// core's own terms: what RomFile and the command's saveWhole stand on. Each
// platform gives them in one file (FileAccessPosix.cpp); a test stands in
// for a failing disk, or a disk in memory, with replaceDiskForTesting().
namespace FileAccess {

// An open file: a descriptor where the system has them.
using FileHandle = std::intptr_t;
constexpr FileHandle NoFile = -1;

// Which file a path or a handle reaches, whatever its name.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

struct FileStatus {
    bool regular = false;
    bool folder = false;
    // The permission bits, as a file that is replaced keeps them.
    unsigned permissions = 0;
    std::int64_t size = 0;
    // How many names the file has: none once it was deleted.
    std::int64_t links = 0;
    FileIdentity identity;
};

// Why a call failed: the system's code, one of std::errc's values, which
// callers compare only to decide whether to try again, and the sentence for
// the user.
struct IoFailure {
    int code = 0;
    std::string reason;
};

// How many bytes went, or the failure.
struct IoResult {
    std::int64_t count = 0;
    std::optional<IoFailure> failure;
};

struct StatusResult {
    FileStatus status;
    std::optional<IoFailure> failure;
};

struct Calls {
    // One call each, which may move fewer bytes than asked for; a read of
    // none is the end of the file.
    IoResult (*readAt)(FileHandle file, std::span<std::uint8_t> into, std::int64_t offset);
    IoResult (*writeAt)(FileHandle file, ByteView bytes, std::int64_t offset);
    // At the file's own position, for a stream or a file being filled.
    IoResult (*write)(FileHandle file, ByteView bytes);
    // Makes the data durable, and with metadata the file's state too.
    std::optional<IoFailure> (*sync)(FileHandle file, bool metadata);
    StatusResult (*statusOf)(FileHandle file);
    // Through symbolic links unless followLinks is false.
    StatusResult (*statusAt)(const std::string &path, bool followLinks);
};

// This platform's own calls, which a stand-in may pass on to.
const Calls &platform();
// The calls in use: the platform's, or a test's stand-in.
const Calls &disk();
StandIn<Calls> replaceDiskForTesting(const Calls &standIn);

// An existing file opened, which no test stands in for: what the path names
// is looked at first, and refused(looked) gives the reason not to open it,
// or nothing. What is not refused is opened, for writing too when asked,
// never created, truncated or locked. On failure the file is NoFile and
// error says why.
struct Opened {
    FileHandle file = NoFile;
    // As it was looked at before opening, and as it is once open.
    FileStatus looked;
    FileStatus opened;
    std::string error;
};
Opened openLookedAt(const std::string &path, bool forWriting,
                    const std::function<std::string(const FileStatus &)> &refused);
void closeFile(FileHandle file);

// The failure with that code and the system's sentence for it.
IoFailure failure(int code);
inline bool interrupted(const IoFailure &failure) { return failure.code == int(std::errc::interrupted); }

} // namespace FileAccess
