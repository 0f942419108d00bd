#pragma once

// Stand-ins for a disk that fails or is watched, each replacing the real disk
// calls for as long as it lives.
#include "RomFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace StandIns {

// The real disk calls with one or more changed by change().
template <typename Change>
RomFile::DiskCalls realDiskWith(Change change)
{
    RomFile::DiskCalls calls = RomFile::diskCalls();
    change(calls);
    return calls;
}

// Counts what the program reads, so a test can tell it never ran through a file.
struct ReadCounter {
    static inline std::int64_t bytes = 0;
    static inline std::int64_t furthest = 0;
    StandIn<RomFile::DiskCalls> disk = RomFile::replaceDiskForTesting(realDiskWith([](RomFile::DiskCalls &c) {
        c.pread = [](int fd, void *buffer, size_t count, off_t offset) -> ssize_t {
            bytes += std::int64_t(count);
            furthest = std::max<std::int64_t>(furthest, offset + std::int64_t(count));
            return ::pread(fd, buffer, count, offset);
        };
    }));
    ReadCounter() { bytes = furthest = 0; }
};

// Every read after the first `good` ones fails with an input/output error.
struct FailingReads {
    static inline int left = 0;
    StandIn<RomFile::DiskCalls> disk = RomFile::replaceDiskForTesting(realDiskWith([](RomFile::DiskCalls &c) {
        c.pread = [](int fd, void *buffer, size_t count, off_t offset) -> ssize_t {
            if (left-- > 0)
                return ::pread(fd, buffer, count, offset);
            errno = EIO;
            return -1;
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
    StandIn<RomFile::DiskCalls> disk = RomFile::replaceDiskForTesting(realDiskWith([](RomFile::DiskCalls &c) {
        c.pwrite = [](int fd, const void *buffer, size_t count, off_t offset) -> ssize_t {
            asked.push_back(count);
            if (failed)
                return ::pwrite(fd, buffer, count, offset);
            if (accepted > 0) {
                const ssize_t n = ::pwrite(fd, buffer, std::min<size_t>(count, size_t(accepted)), offset);
                accepted = 0;
                return n;
            }
            failed = true;
            if (error == 0)
                return 0;  // nothing written, and no reason given
            errno = error;
            return -1;
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
    StandIn<RomFile::DiskCalls> disk = RomFile::replaceDiskForTesting(realDiskWith([](RomFile::DiskCalls &c) {
        c.fdatasync = [](int) {
            errno = EIO;
            return -1;
        };
    }));
};

} // namespace StandIns
