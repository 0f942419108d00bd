#pragma once

#include "Image.h"
#include "StandIn.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

// An image file on disk, read and written in place, unbuffered, so every
// write is in the file when the call returns. It never creates, truncates,
// extends or locks a file.
class RomFile : public Image {
public:
    RomFile() = default;
    ~RomFile() override;
    RomFile(const RomFile &) = delete;
    RomFile &operator=(const RomFile &) = delete;

    // WouldWrite opens as ReadWrite does, so a dry run fails where the real
    // run would, but refuses every write.
    enum class Access { ReadWrite, ReadOnly, WouldWrite };

    // Opens an existing regular file, for reading and writing unless asked for
    // reading only; the path is the bytes the system takes. What the path
    // names is looked at through an O_PATH handle, which opens nothing, and
    // then that same file is opened through /proc/self/fd, so a FIFO or a
    // device is never opened, not even one swapped in at the path meanwhile.
    // Without /proc the path is looked at and then opened, and what was
    // swapped in between is refused after opening. Returns false and sets
    // errorString() (the system's reason) on failure; an image already open
    // is closed first. Every open starts with no offset shift.
    bool open(const std::string &nativePath, Access access = Access::ReadWrite);
    // Does nothing when nothing is open.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string &path() const { return m_nativePath; }
    const std::string &errorString() const { return m_error; }

    std::int64_t size() const override;
    Bytes read(std::int64_t offset, std::int64_t length) const override;
    // Also refused when the path no longer names the file that was opened
    // (it was deleted or replaced).
    void requireInside(std::int64_t offset, std::int64_t length) const override;
    // Also refused on input/output errors; a write that fails part-way puts
    // the old bytes back where it can.
    void writeField(std::int64_t offset, ByteView bytes) override;
    void sync() override;

    // False once the path names another file than the one opened, or none.
    bool pathNamesOpenedFile() const;
    // Whether the path, through any links, names the file that was opened.
    bool isFileAt(const std::string &nativePath) const;

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

protected:
    std::string failingFile() const override { return m_nativePath; }

private:
    static DiskCalls &disk();
    // The open file's state as it is now.
    struct stat status() const;
    // Writes bytes at offset, finishing short writes. Returns how many went
    // in; fewer than length means a failure, with errno set.
    std::int64_t writeAllAt(std::int64_t offset, const std::uint8_t *bytes, std::int64_t length);

    int m_fd = -1;
    Access m_access = Access::ReadWrite;
    std::string m_nativePath;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::string m_error;
};
