#pragma once

#include "StandIn.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <sys/stat.h>
#include <sys/types.h>

// The one open image: raw bytes read and written in place at 0-based offsets,
// unbuffered, so every write is in the file when the call returns. It never
// creates, truncates, extends or locks a file.
class RomFile {
public:
    RomFile() = default;
    ~RomFile();
    RomFile(const RomFile &) = delete;
    RomFile &operator=(const RomFile &) = delete;

    enum class Access { ReadWrite, ReadOnly };

    // Opens an existing regular file, for reading and writing unless asked for
    // reading only. What the path names is looked at through an O_PATH handle,
    // which opens nothing, and then that same file is opened through
    // /proc/self/fd, so a FIFO or a device is never opened, not even one
    // swapped in at the path meanwhile. Without /proc the path is looked at
    // and then opened, and what was swapped in between is refused after
    // opening. Returns false and sets
    // errorString() (the system's reason) on failure; an image already open
    // is closed first.
    bool open(const QString &path, Access access = Access::ReadWrite);
    // The same with the path exactly as the system spells it, for names that
    // are not valid text.
    bool openNative(const QByteArray &nativePath, Access access = Access::ReadWrite);
    // Does nothing when nothing is open.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }
    QString errorString() const { return m_error; }

    // The current length of the file; another program may change it.
    std::int64_t size() const;

    // Every offset given to the calls below is moved by this much before it
    // reaches the file: -512 for an image without the copier header that the
    // layout's offsets count. 0 unless set; messages name file offsets.
    void setOffsetShift(std::int64_t shift) { m_shift = shift; }
    std::int64_t offsetShift() const { return m_shift; }

    // A read at or past the end gives 0; an input/output error throws RomError.
    std::uint8_t readByte(std::int64_t offset) const;
    // Up to length bytes from offset, in one call; shorter where the file ends.
    QByteArray read(std::int64_t offset, std::int64_t length) const;
    // Exactly length bytes, for a field about to be written; refused as
    // requireInside refuses where the file ends inside the field (another
    // program cut it since the check).
    QByteArray readField(std::int64_t offset, std::int64_t length) const;
    // One character per byte (Latin-1), trailing blanks kept; 0 past the end.
    QString readText(std::int64_t offset, int count) const;

    // False once the path names another file than the one opened, or none.
    bool pathNamesOpenedFile() const;
    // Whether the path, through any links, names the file that was opened.
    bool isFileAt(const QByteArray &nativePath) const;

    // Refused with RomError when the field does not lie wholly inside the
    // file, or when the path no longer names the file that was opened (it was
    // deleted or replaced).
    void requireInside(std::int64_t offset, std::int64_t length) const;
    // Writes the bytes at offset with one call, so a field is never left half
    // old and half new by a kill. Refused with RomError where requireInside
    // refuses (the file is never grown) and on input/output errors; a write
    // that fails part-way puts the old bytes back where it can.
    void writeField(std::int64_t offset, const QByteArray &bytes);
    void writeByte(std::int64_t offset, std::uint8_t value);
    // Makes the writes so far durable.
    void sync();

    // The calls that reach the disk once a file is open. A test stands in
    // for a failing disk, or a disk in memory, with replaceDiskForTesting().
    struct DiskCalls {
        ssize_t (*pread)(int, void *, size_t, off_t);
        ssize_t (*pwrite)(int, const void *, size_t, off_t);
        int (*fdatasync)(int);
        int (*fstat)(int, struct stat *);
        int (*stat)(const char *, struct stat *);
    };
    static const DiskCalls &diskCalls() { return disk(); }
    static StandIn<DiskCalls> replaceDiskForTesting(const DiskCalls &standIn);

private:
    static DiskCalls &disk();
    // Throws RomError with the message and this file's path.
    [[noreturn]] void fail(const QString &what) const;
    [[noreturn]] void failBeyondEnd(std::int64_t fileOffset, std::int64_t end) const;
    // The open file's state as it is now.
    struct stat status() const;
    // Writes bytes at offset, finishing short writes. Returns how many went
    // in; fewer than length means a failure, with errno set.
    std::int64_t writeAllAt(std::int64_t offset, const char *bytes, std::int64_t length);

    int m_fd = -1;
    std::int64_t m_shift = 0;
    Access m_access = Access::ReadWrite;
    QString m_path;
    QByteArray m_nativePath;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    QString m_error;
};
