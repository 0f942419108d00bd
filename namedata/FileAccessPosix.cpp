// The file access of a POSIX system.
#include "FileAccess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace FileAccess;

IoResult counted(ssize_t n)
{
    if (n < 0)
        return {0, failure(errno)};
    return {std::int64_t(n), std::nullopt};
}

FileStatus statusFrom(const struct stat &st)
{
    FileStatus status;
    status.regular = S_ISREG(st.st_mode);
    status.folder = S_ISDIR(st.st_mode);
    status.permissions = unsigned(st.st_mode & 07777);
    status.size = std::int64_t(st.st_size);
    status.links = std::int64_t(st.st_nlink);
    status.identity = {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
    return status;
}

StatusResult statusResult(int result, const struct stat &st)
{
    if (result != 0)
        return {{}, failure(errno)};
    return {statusFrom(st), std::nullopt};
}

IoResult readAt(FileHandle file, std::span<std::uint8_t> into, std::int64_t offset)
{
    return counted(::pread(int(file), into.data(), into.size(), off_t(offset)));
}

IoResult writeAt(FileHandle file, ByteView bytes, std::int64_t offset)
{
    return counted(::pwrite(int(file), bytes.data(), bytes.size(), off_t(offset)));
}

IoResult write(FileHandle file, ByteView bytes)
{
    return counted(::write(int(file), bytes.data(), bytes.size()));
}

std::optional<IoFailure> sync(FileHandle file, bool metadata)
{
    if ((metadata ? ::fsync(int(file)) : ::fdatasync(int(file))) != 0)
        return failure(errno);
    return std::nullopt;
}

StatusResult statusOf(FileHandle file)
{
    struct stat st {};
    const int result = ::fstat(int(file), &st);
    return statusResult(result, st);
}

StatusResult statusAt(const std::string &path, bool followLinks)
{
    struct stat st {};
    const int result = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    return statusResult(result, st);
}

std::string procPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

std::string reasonOf(int error)
{
    return std::strerror(error);
}

// Opens the file the path names with flags unless refused, and fills looked
// with its state as it was looked at before opening. -1 and error on failure.
int openLooked(const std::string &path, int flags, const std::function<std::string(const FileStatus &)> &refused,
               FileStatus &looked, std::string &error)
{
    struct stat st {};
#ifdef O_PATH
    // A handle on the path opens nothing, so a FIFO's waiting reader is not
    // released and no device is touched. What it names is looked at through
    // it, and only that very file is then opened, through /proc: whatever is
    // swapped in at the path meanwhile is never opened.
    const int handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (handle < 0) {
        error = reasonOf(errno);
        return -1;
    }
    if (::fstat(handle, &st) == 0) {
        looked = statusFrom(st);
        error = refused(looked);
    } else {
        error = reasonOf(errno);
    }
    int fd = -1;
    int openError = 0;
    if (error.empty()) {
        fd = ::open(procPath(handle).c_str(), flags);
        openError = errno;
    }
    ::close(handle);
    if (fd >= 0 || !error.empty())
        return fd;
    // Without /proc the path is looked at and opened as below.
    if (openError != ENOENT) {
        error = reasonOf(openError);
        return -1;
    }
#endif
    if (::stat(path.c_str(), &st) != 0) {
        error = reasonOf(errno);
        return -1;
    }
    looked = statusFrom(st);
    error = refused(looked);
    if (!error.empty())
        return -1;
    const int opened = ::open(path.c_str(), flags);
    if (opened < 0)
        error = reasonOf(errno);
    return opened;
}

constexpr Calls posix{readAt, writeAt, write, sync, statusOf, statusAt};

Calls &slot()
{
    static Calls calls = posix;
    return calls;
}

} // namespace

const Calls &FileAccess::platform()
{
    return posix;
}

const Calls &FileAccess::disk()
{
    return slot();
}

StandIn<Calls> FileAccess::replaceDiskForTesting(const Calls &standIn)
{
    return {slot(), standIn};
}

Opened FileAccess::openLookedAt(const std::string &path, bool forWriting,
                                const std::function<std::string(const FileStatus &)> &refused)
{
    // O_NONBLOCK so that nothing opened can hold the program up; no O_CREAT
    // or O_TRUNC, so a missing file stays missing.
    const int flags = (forWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Opened made;
    const int fd = openLooked(path, flags, refused, made.looked, made.error);
    if (fd < 0)
        return made;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        made.error = reasonOf(errno);
        ::close(fd);
        return made;
    }
    made.opened = statusFrom(st);
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    made.file = fd;
    return made;
}

void FileAccess::closeFile(FileHandle file)
{
    ::close(int(file));
}

IoFailure FileAccess::failure(int code)
{
    return {code, reasonOf(code)};
}
