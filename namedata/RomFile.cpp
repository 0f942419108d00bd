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

QString hex(std::int64_t offset)
{
    return QString::number(offset, 16);
}

// Why a file in this state is not opened, or nothing: only a regular file is,
// and a file with no write permission at all is one the user has protected,
// respected even where the system would let an administrator write.
QString refusal(const struct stat &looked, RomFile::Access access)
{
    if (S_ISDIR(looked.st_mode))
        return systemReason(EISDIR);
    if (!S_ISREG(looked.st_mode))
        return QStringLiteral("Not a regular file");
    if (access == RomFile::Access::ReadWrite && (looked.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return systemReason(EACCES);
    return {};
}

// Opens the regular file the path names with flags, and fills looked with
// its state as it was looked at before opening. -1 and error on failure.
int openLookedAt(const QByteArray &path, int flags, RomFile::Access access, struct stat &looked,
                 QString &error)
{
#ifdef O_PATH
    // A handle on the path opens nothing, so a FIFO's waiting reader is not
    // released and no device is touched. What it names is looked at through
    // it, and only that very file is then opened, through /proc: whatever is
    // swapped in at the path meanwhile is never opened.
    const int handle = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (handle < 0) {
        error = systemReason(errno);
        return -1;
    }
    error = ::fstat(handle, &looked) == 0 ? refusal(looked, access) : systemReason(errno);
    int fd = -1;
    int openError = 0;
    if (error.isEmpty()) {
        fd = ::open(("/proc/self/fd/" + QByteArray::number(handle)).constData(), flags);
        openError = errno;
    }
    ::close(handle);
    if (fd >= 0 || !error.isEmpty())
        return fd;
    // Without /proc the path is looked at and opened as below.
    if (openError != ENOENT) {
        error = systemReason(openError);
        return -1;
    }
#endif
    if (::stat(path.constData(), &looked) != 0) {
        error = systemReason(errno);
        return -1;
    }
    error = refusal(looked, access);
    if (!error.isEmpty())
        return -1;
    const int opened = ::open(path.constData(), flags);
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
    // O_NONBLOCK so that nothing opened can hold the program up; no O_CREAT
    // or O_TRUNC, so a missing file stays missing.
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
        m_error = QStringLiteral("The file was replaced while it was being opened");
        ::close(fd);
        return false;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
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
    RomError error(what);
    error.setFile(m_nativePath);
    throw error;
}

struct stat RomFile::status() const
{
    if (m_fd < 0)
        fail(QStringLiteral("No image is open."));
    struct stat st {};
    if (diskCalls().fstat(m_fd, &st) != 0) {
        const int error = errno;
        fail(QStringLiteral("Cannot read the state of the image: %1").arg(systemReason(error)));
    }
    return st;
}

std::int64_t RomFile::size() const
{
    return status().st_size;
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
        const int error = errno;
        if (n < 0 && error == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("Cannot read the image at offset 0x%1: %2")
                     .arg(hex(offset + got), systemReason(error)));
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
    return isFileAt(m_nativePath);
}

bool RomFile::isFileAt(const QByteArray &nativePath) const
{
    struct stat named {};
    return m_fd >= 0 && diskCalls().stat(nativePath.constData(), &named) == 0 && named.st_dev == m_device
        && named.st_ino == m_inode;
}

void RomFile::requireInside(std::int64_t offset, std::int64_t length) const
{
    const struct stat st = status();
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
