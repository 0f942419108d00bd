#pragma once

#include "FileAccess.h"
#include "Image.h"

#include <cstdint>
#include <string>

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
    bool isOpen() const { return m_file != FileAccess::NoFile; }
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

protected:
    std::string failingFile() const override { return m_nativePath; }

private:
    // The open file's state as it is now.
    FileAccess::FileStatus status() const;
    // Writes bytes at offset, finishing short writes. Returns how many went
    // in, and the failure when not all did.
    FileAccess::IoResult writeAllAt(std::int64_t offset, ByteView bytes);

    FileAccess::FileHandle m_file = FileAccess::NoFile;
    Access m_access = Access::ReadWrite;
    std::string m_nativePath;
    FileAccess::FileIdentity m_identity;
    std::string m_error;
};
