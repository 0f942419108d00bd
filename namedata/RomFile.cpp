#include "RomFile.h"

#include "RomError.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string systemReason(int error)
{
    return std::strerror(error);
}

std::string procPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// Why a file in this state is not opened, or nothing: only a regular file is,
// and a file with no write permission at all is one the user has protected,
// respected even where the system would let an administrator write.
std::string refusal(const struct stat &looked, RomFile::Access access)
{
    if (S_ISDIR(looked.st_mode))
        return systemReason(EISDIR);
    if (!S_ISREG(looked.st_mode))
        return "Not a regular file";
    if (access != RomFile::Access::ReadOnly && (looked.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return systemReason(EACCES);
    return {};
}

// Opens the regular file the path names with flags, and fills looked with
// its state as it was looked at before opening. -1 and error on failure.
int openLookedAt(const std::string &path, int flags, RomFile::Access access, struct stat &looked,
                 std::string &error)
{
#ifdef O_PATH
    // A handle on the path opens nothing, so a FIFO's waiting reader is not
    // released and no device is touched. What it names is looked at through
    // it, and only that very file is then opened, through /proc: whatever is
    // swapped in at the path meanwhile is never opened.
    const int handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (handle < 0) {
        error = systemReason(errno);
        return -1;
    }
    error = ::fstat(handle, &looked) == 0 ? refusal(looked, access) : systemReason(errno);
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
        error = systemReason(openError);
        return -1;
    }
#endif
    if (::stat(path.c_str(), &looked) != 0) {
        error = systemReason(errno);
        return -1;
    }
    error = refusal(looked, access);
    if (!error.empty())
        return -1;
    const int opened = ::open(path.c_str(), flags);
    if (opened < 0)
        error = systemReason(errno);
    return opened;
}

} // namespace

RomFile::DiskCalls &RomFile::disk()
{
    static DiskCalls calls{::pread, ::pwrite, ::fdatasync, ::fstat, ::stat};
    return calls;
}

StandIn<RomFile::DiskCalls> RomFile::replaceDiskForTesting(const DiskCalls &standIn)
{
    return {disk(), standIn};
}

RomFile::~RomFile()
{
    close();
}

bool RomFile::open(const std::string &nativePath, Access access)
{
    close();
    m_error.clear();
    m_shift = 0;
    if (nativePath.empty()) {
        m_error = "No file was chosen.";
        return false;
    }
    // O_NONBLOCK so that nothing opened can hold the program up; no O_CREAT
    // or O_TRUNC, so a missing file stays missing.
    // A dry run makes the very open of the real run, for writing, so it fails
    // wherever that would (no permission, a file system mounted read-only,
    // an append-only or immutable file, a program running from the file);
    // it then writes nothing.
    const int flags = (access == Access::ReadOnly ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat looked {};
    const int fd = openLookedAt(nativePath, flags, access, looked, m_error);
    if (fd < 0)
        return false;
    // What was swapped in between a look at the path and its opening is
    // refused here.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        m_error = systemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(opened.st_mode) || opened.st_dev != looked.st_dev || opened.st_ino != looked.st_ino) {
        m_error = "The file was replaced while it was being opened";
        ::close(fd);
        return false;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    m_fd = fd;
    m_access = access;
    m_nativePath = nativePath;
    m_device = opened.st_dev;
    m_inode = opened.st_ino;
    return true;
}

void RomFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_nativePath.clear();
}

struct stat RomFile::status() const
{
    if (m_fd < 0)
        fail("No image is open.");
    struct stat st {};
    if (diskCalls().fstat(m_fd, &st) != 0) {
        const int error = errno;
        fail("Cannot read the state of the image: " + systemReason(error));
    }
    return st;
}

std::int64_t RomFile::size() const
{
    return status().st_size;
}

Bytes RomFile::read(std::int64_t offset, std::int64_t length) const
{
    if (m_fd < 0)
        fail("No image is open.");
    offset += m_shift;
    if (offset < 0)
        fail(fmt::format("Offset 0x{:x} lies before the start of the file.", offset));
    Bytes bytes(std::size_t(std::max<std::int64_t>(0, length)));
    std::int64_t got = 0;
    while (got < length) {
        const ssize_t n = diskCalls().pread(m_fd, bytes.data() + got, size_t(length - got),
                                            static_cast<off_t>(offset + got));
        const int error = errno;
        if (n < 0 && error == EINTR)
            continue;
        if (n < 0)
            fail(fmt::format("Cannot read the image at offset 0x{:x}: {}", offset + got, systemReason(error)));
        if (n == 0)
            break;  // the end of the file
        got += n;
    }
    bytes.resize(std::size_t(got));
    return bytes;
}

bool RomFile::pathNamesOpenedFile() const
{
    return isFileAt(m_nativePath);
}

bool RomFile::isFileAt(const std::string &nativePath) const
{
    struct stat named {};
    return m_fd >= 0 && diskCalls().stat(nativePath.c_str(), &named) == 0 && named.st_dev == m_device
        && named.st_ino == m_inode;
}

void RomFile::requireInside(std::int64_t offset, std::int64_t length) const
{
    const struct stat st = status();
    offset += m_shift;
    // The open handle would still take the write, but into a file that the
    // user no longer finds under its name.
    struct stat named {};
    if (diskCalls().stat(m_nativePath.c_str(), &named) != 0) {
        if (st.st_nlink == 0)
            fail("The file has been deleted since it was opened.");
        fail("The file has been moved or deleted since it was opened.");
    }
    if (named.st_dev != m_device || named.st_ino != m_inode)
        fail("The file has been replaced by another file since it was opened.");
    if (offset < 0 || offset + length > st.st_size)
        failBeyondEnd(offset, st.st_size);
}

std::int64_t RomFile::writeAllAt(std::int64_t offset, const std::uint8_t *bytes, std::int64_t length)
{
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = diskCalls().pwrite(m_fd, bytes + done, size_t(length - done),
                                             static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;  // no progress and no reason: do not spin
            return done;
        }
        done += n;
    }
    return done;
}

void RomFile::writeField(std::int64_t offset, ByteView bytes)
{
    const auto length = std::int64_t(bytes.size());
    requireInside(offset, length);
    if (m_access != Access::ReadWrite)
        fail("The image is open for reading only.");
    // Another program may have cut the file since the check: then nothing is
    // written, as a write would grow the file again.
    const Bytes old = readField(offset, length);
    offset += m_shift;
    const std::int64_t partial = writeAllAt(offset, bytes.data(), length);
    if (partial == length)
        return;
    const int error = errno;
    const std::string message = fmt::format("Cannot write the image at offset 0x{:x}: {}", offset, systemReason(error));
    // Part of the field went in before the failure: put the old bytes back,
    // so the field is not left half old and half new. The whole field was
    // read, so the restore takes only bytes that were read.
    if (partial > 0 && writeAllAt(offset, old.data(), partial) != partial) {
        RomError left(message + " The field may now hold part of the new name.", RomError::Left::MaybeChanged);
        left.setFile(m_nativePath);
        throw left;
    }
    fail(message);
}

void RomFile::sync()
{
    if (m_fd < 0)
        fail("No image is open.");
    if (diskCalls().fdatasync(m_fd) != 0)
        fail("Cannot make the changes durable: " + systemReason(errno));
}
