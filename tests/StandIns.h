#pragma once

// Stand-ins for a disk that fails or is watched, each replacing the real disk
// calls for as long as it lives.
#include "FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace StandIns {

using FileAccess::FileHandle;
using FileAccess::IoResult;
using Disk = StandIn<FileAccess::Calls>;

// The real disk calls with one or more changed by change().
template <typename Change>
FileAccess::Calls realDiskWith(Change change)
{
    FileAccess::Calls calls = FileAccess::disk();
    change(calls);
    return calls;
}

// The failure an errno value stands for.
inline IoResult failed(int error)
{
    return {0, FileAccess::failure(error)};
}

// Counts what the program reads, so a test can tell it never ran through a file.
struct ReadCounter {
    static inline std::int64_t bytes = 0;
    static inline std::int64_t furthest = 0;
    Disk disk = FileAccess::replaceDiskForTesting(realDiskWith([](FileAccess::Calls &c) {
        c.readAt = [](FileHandle file, std::span<std::uint8_t> into, std::int64_t offset) {
            bytes += std::int64_t(into.size());
            furthest = std::max<std::int64_t>(furthest, offset + std::int64_t(into.size()));
            return FileAccess::platform().readAt(file, into, offset);
        };
    }));
    ReadCounter() { bytes = furthest = 0; }
};

// Every read after the first `good` ones fails with an input/output error.
struct FailingReads {
    static inline int left = 0;
    Disk disk = FileAccess::replaceDiskForTesting(realDiskWith([](FileAccess::Calls &c) {
        c.readAt = [](FileHandle file, std::span<std::uint8_t> into, std::int64_t offset) {
            if (left-- > 0)
                return FileAccess::platform().readAt(file, into, offset);
            return failed(EIO);
        };
    }));
    explicit FailingReads(int good = 0) { left = good; }
};

// The next write takes the first bytes it is given, if any, and then fails the
// given way; the writes after it go through, as on a disk that filled up and
// was cleared again. It notes the size of every write it is asked for.
struct FailingWrite {
    static inline int accepted = 0;
    static inline int error = 0;
    static inline bool failed = false;
    static inline std::vector<size_t> asked;
    Disk disk = FileAccess::replaceDiskForTesting(realDiskWith([](FileAccess::Calls &c) {
        c.writeAt = [](FileHandle file, ByteView bytes, std::int64_t offset) {
            asked.push_back(bytes.size());
            if (failed)
                return FileAccess::platform().writeAt(file, bytes, offset);
            if (accepted > 0) {
                IoResult n = FileAccess::platform().writeAt(file, bytes.first(std::min<size_t>(bytes.size(), size_t(accepted))), offset);
                accepted = 0;
                return n;
            }
            failed = true;
            if (error == 0)
                return IoResult{};  // nothing written, and no reason given
            return StandIns::failed(error);
        };
    }));
    // With error -1 no write fails: the sizes are only noted.
    FailingWrite(int acceptedBytes, int errorNumber)
    {
        accepted = acceptedBytes;
        error = errorNumber;
        failed = errorNumber < 0;
        asked.clear();
    }
};

// Syncing fails with an input/output error.
struct FailingSync {
    Disk disk = FileAccess::replaceDiskForTesting(realDiskWith([](FileAccess::Calls &c) {
        c.sync = [](FileHandle, bool) -> std::optional<FileAccess::IoFailure> {
            return FileAccess::failure(EIO);
        };
    }));
};

} // namespace StandIns
