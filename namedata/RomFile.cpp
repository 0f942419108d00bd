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

// The open file's state as it is now.
struct stat status(int fd)
{
    if (fd < 0)
        throw RomError(QStringLiteral("No image is open."));
    struct stat st {};
    if (RomFile::diskCalls().fstat(fd, &st) != 0)
        throw RomError(QStringLiteral("Cannot read the state of the image: %1").arg(systemReason(errno)));
    return st;
}

QString hex(std::int64_t offset)
{
    return QString::number(offset, 16);
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

bool RomFile::open(const QString &path, Access access)
{
    if (!openNative(path.isEmpty() ? QByteArray() : QFile::encodeName(path), access))
        return false;
    m_path = path;
    return true;
}

bool RomFile::openNative(const QByteArray &nativePath, Access access)
{
    close();
    m_error.clear();
    if (nativePath.isEmpty()) {
        m_error = QStringLiteral("No file was chosen.");
        return false;
    }
    // Look before opening: opening a FIFO, even to refuse it, would release
    // whoever waits at its other end.
    struct stat named {};
    if (::stat(nativePath.constData(), &named) != 0) {
        m_error = systemReason(errno);
        return false;
    }
    if (!S_ISREG(named.st_mode)) {
        m_error = S_ISDIR(named.st_mode) ? systemReason(EISDIR) : QStringLiteral("Not a regular file");
        return false;
    }
    // A file with no write permission at all is one the user has protected;
    // respect that even where the system would let an administrator write.
    if (access == Access::ReadWrite && (named.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        m_error = systemReason(EACCES);
        return false;
    }
    // O_NONBLOCK so that whatever is swapped in after the look cannot hold
    // the program up; no O_CREAT or O_TRUNC, so a missing file stays missing.
    const int mode = access == Access::ReadOnly ? O_RDONLY : O_RDWR;
    const int fd = ::open(nativePath.constData(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        m_error = systemReason(errno);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        m_error = systemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        m_error = QStringLiteral("The file was replaced while it was being opened");
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_access = access;
    m_path = QFile::decodeName(nativePath);
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
    m_path.clear();
    m_nativePath.clear();
}

void RomFile::fail(const QString &what) const
{
    throw RomError(what);
}

std::int64_t RomFile::size() const
{
    return status(m_fd).st_size;
}

QByteArray RomFile::read(std::int64_t offset, std::int64_t length) const
{
    if (m_fd < 0)
        fail(QStringLiteral("No image is open."));
    offset += m_shift;
    if (offset < 0)
        fail(QStringLiteral("Offset 0x%1 lies before the start of the file.").arg(hex(offset)));
    QByteArray bytes(qsizetype(length), '\0');
    std::int64_t got = 0;
    while (got < length) {
        const ssize_t n = diskCalls().pread(m_fd, bytes.data() + got, size_t(length - got),
                                            static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("Cannot read the image at offset 0x%1: %2")
                     .arg(hex(offset + got), systemReason(errno)));
        if (n == 0)
            break;  // the end of the file
        got += n;
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}

std::uint8_t RomFile::readByte(std::int64_t offset) const
{
    const QByteArray byte = read(offset, 1);
    return byte.isEmpty() ? 0 : std::uint8_t(byte.at(0));
}

QString RomFile::readText(std::int64_t offset, int count) const
{
    QByteArray bytes = read(offset, count);
    bytes.append(QByteArray(count - bytes.size(), '\0'));
    return QString::fromLatin1(bytes);
}

bool RomFile::pathNamesOpenedFile() const
{
    struct stat named {};
    return m_fd >= 0 && diskCalls().stat(m_nativePath.constData(), &named) == 0 && named.st_dev == m_device
        && named.st_ino == m_inode;
}

void RomFile::requireInside(std::int64_t offset, std::int64_t length) const
{
    const struct stat st = status(m_fd);
    offset += m_shift;
    // The open handle would still take the write, but into a file that the
    // user no longer finds under its name.
    struct stat named {};
    if (diskCalls().stat(m_nativePath.constData(), &named) != 0) {
        if (st.st_nlink == 0)
            fail(QStringLiteral("The file has been deleted since it was opened."));
        fail(QStringLiteral("The file has been moved or deleted since it was opened."));
    }
    if (named.st_dev != m_device || named.st_ino != m_inode)
        fail(QStringLiteral("The file has been replaced by another file since it was opened."));
    if (offset < 0 || offset + length > st.st_size)
        failBeyondEnd(offset, st.st_size);
}

void RomFile::failBeyondEnd(std::int64_t fileOffset, std::int64_t end) const
{
    fail(QStringLiteral("The name field at offset 0x%1 lies beyond the end of the file "
                        "(the file is %2 bytes long).")
             .arg(hex(fileOffset)).arg(end));
}

QByteArray RomFile::readField(std::int64_t offset, std::int64_t length) const
{
    QByteArray bytes = read(offset, length);
    if (bytes.size() < length)
        failBeyondEnd(offset + m_shift, offset + m_shift + bytes.size());
    return bytes;
}

std::int64_t RomFile::writeAllAt(std::int64_t offset, const char *bytes, std::int64_t length)
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

void RomFile::writeField(std::int64_t offset, const QByteArray &bytes)
{
    requireInside(offset, bytes.size());
    if (m_access == Access::ReadOnly)
        fail(QStringLiteral("The image is open for reading only."));
    // Another program may have cut the file since the check: then nothing is
    // written, as a write would grow the file again.
    const QByteArray old = readField(offset, bytes.size());
    offset += m_shift;
    const std::int64_t partial = writeAllAt(offset, bytes.constData(), bytes.size());
    if (partial == bytes.size())
        return;
    const int error = errno;
    QString message = QStringLiteral("Cannot write the image at offset 0x%1: %2")
                          .arg(hex(offset), systemReason(error));
    // Part of the field went in before the failure: put the old bytes back,
    // so the field is not left half old and half new. The whole field was
    // read, so the restore takes only bytes that were read.
    if (partial > 0 && writeAllAt(offset, old.constData(), partial) != partial)
        throw RomError(message + QStringLiteral(" The field may now hold part of the new name."),
                       RomError::Left::MaybeChanged);
    fail(message);
}

void RomFile::writeByte(std::int64_t offset, std::uint8_t value)
{
    writeField(offset, QByteArray(1, char(value)));
}

void RomFile::sync()
{
    if (m_fd < 0)
        fail(QStringLiteral("No image is open."));
    if (diskCalls().fdatasync(m_fd) != 0)
        fail(QStringLiteral("Cannot make the changes durable: %1").arg(systemReason(errno)));
}
