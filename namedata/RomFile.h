#pragma once

#include <QString>

#include <cstdint>
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
    // reading only. Returns false and sets errorString() (the system's reason)
    // on failure; an image already open is closed first.
    bool open(const QString &path, Access access = Access::ReadWrite);
    // Does nothing when nothing is open.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }
    QString errorString() const { return m_error; }

    // The current length of the file; another program may change it.
    std::int64_t size() const;

    // A read at or past the end gives 0; an input/output error throws RomError.
    std::uint8_t readByte(std::int64_t offset) const;
    // One character per byte (Latin-1), trailing blanks kept.
    QString readText(std::int64_t offset, int count) const;

    // Refused with RomError when the field does not lie wholly inside the file,
    // or when the file has been deleted since it was opened.
    void requireInside(std::int64_t offset, std::int64_t length) const;
    // Throws RomError at or past the end (the file is never grown) and on
    // input/output errors.
    void writeByte(std::int64_t offset, std::uint8_t value);
    // Makes the writes so far durable.
    void sync();

    // The calls that reach the disk; a test puts a failing one in their place.
    struct DiskCalls {
        ssize_t (*pread)(int, void *, size_t, off_t);
        ssize_t (*pwrite)(int, const void *, size_t, off_t);
        int (*fdatasync)(int);
    };
    static DiskCalls &diskCalls();

private:
    [[noreturn]] void fail(const QString &what) const;

    int m_fd = -1;
    Access m_access = Access::ReadWrite;
    QString m_path;
    QString m_error;
};
