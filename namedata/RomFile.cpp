#include "RomFile.h"

#include "RomError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The open file's length and link count, as they are now.
struct stat status(int fd)
{
    if (fd < 0)
        throw RomError(QStringLiteral("No image is open."));
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw RomError(QStringLiteral("Cannot read the state of the image: %1").arg(systemReason(errno)));
    return st;
}

} // namespace

RomFile::DiskCalls &RomFile::diskCalls()
{
    static DiskCalls calls{::pread, ::pwrite, ::fdatasync};
    return calls;
}

RomFile::~RomFile()
{
    close();
}

bool RomFile::open(const QString &path, Access access)
{
    close();
    m_error.clear();
    if (path.isEmpty()) {
        m_error = QStringLiteral("No file was chosen.");
        return false;
    }
    // O_NONBLOCK so that a FIFO or a device can never hold the program up;
    // no O_CREAT or O_TRUNC, so a missing file stays missing.
    const QByteArray native = QFile::encodeName(path);
    const int mode = access == Access::ReadOnly ? O_RDONLY : O_RDWR;
    const int fd = ::open(native.constData(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        m_error = systemReason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_error = systemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? systemReason(EISDIR)
                                      : QStringLiteral("Not a regular file");
        ::close(fd);
        return false;
    }
    // A file with no write permission at all is one the user has protected;
    // respect that even where the system would let an administrator write.
    if (access == Access::ReadWrite && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        m_error = systemReason(EACCES);
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_access = access;
    m_path = path;
    return true;
}

void RomFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_path.clear();
}

void RomFile::fail(const QString &what) const
{
    throw RomError(what);
}

std::int64_t RomFile::size() const
{
    return status(m_fd).st_size;
}

std::uint8_t RomFile::readByte(std::int64_t offset) const
{
    if (m_fd < 0)
        fail(QStringLiteral("No image is open."));
    unsigned char byte = 0;
    ssize_t n;
    do {
        n = diskCalls().pread(m_fd, &byte, 1, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        fail(QStringLiteral("Cannot read the image at offset 0x%1: %2")
                 .arg(offset, 0, 16).arg(systemReason(errno)));
    return n == 1 ? byte : 0;
}

QString RomFile::readText(std::int64_t offset, int count) const
{
    QString text;
    text.reserve(count);
    for (int k = 0; k < count; ++k)
        text.append(QChar(readByte(offset + k)));
    return text;
}

void RomFile::requireInside(std::int64_t offset, std::int64_t length) const
{
    const struct stat st = status(m_fd);
    // The open handle would still take the write, but into a file that no
    // folder holds any more: the user could never find the name again.
    if (st.st_nlink == 0)
        fail(QStringLiteral("The file has been deleted since it was opened; nothing was written."));
    const std::int64_t end = st.st_size;
    if (offset < 0 || offset + length > end)
        fail(QStringLiteral("The name field at offset 0x%1 lies beyond the end of the file "
                            "(the file is %2 bytes long); nothing was written.")
                 .arg(offset, 0, 16).arg(end));
}

void RomFile::writeByte(std::int64_t offset, std::uint8_t value)
{
    requireInside(offset, 1);
    if (m_access == Access::ReadOnly)
        fail(QStringLiteral("The image is open for reading only."));
    ssize_t n;
    do {
        n = diskCalls().pwrite(m_fd, &value, 1, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n != 1)
        fail(QStringLiteral("Cannot write the image at offset 0x%1: %2")
                 .arg(offset, 0, 16).arg(systemReason(n < 0 ? errno : EIO)));
}

void RomFile::sync()
{
    if (m_fd < 0)
        fail(QStringLiteral("No image is open."));
    if (diskCalls().fdatasync(m_fd) != 0)
        fail(QStringLiteral("Cannot make the changes durable: %1").arg(systemReason(errno)));
}
