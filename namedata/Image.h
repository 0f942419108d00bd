#pragma once

#include "Bytes.h"

#include <cstdint>
#include <string>

// The one way the core reaches an image: raw bytes read and written in place
// at 0-based offsets, never grown or cut. RomFile is a file on disk;
// MemoryImage is an image held in memory.
//
// Every offset given to the calls is moved by offsetShift() before it
// reaches the bytes: -512 for an image without the copier header that the
// layout's offsets count (CopierHeader decides). Messages name the offsets
// of the bytes themselves.
class Image {
public:
    virtual ~Image() = default;

    // The current length, which another program may change under a file.
    virtual std::int64_t size() const = 0;
    // Up to length bytes from offset, in one call; shorter where the image
    // ends. Throws RomError on input/output errors.
    virtual Bytes read(std::int64_t offset, std::int64_t length) const = 0;
    // Refused with RomError when the field does not lie wholly inside the
    // image (or, for a file, when its path no longer names it).
    virtual void requireInside(std::int64_t offset, std::int64_t length) const = 0;
    // Writes the bytes at offset with one call, so a field is never left half
    // old and half new; refused where requireInside refuses.
    virtual void writeField(std::int64_t offset, ByteView bytes) = 0;
    // Makes the writes so far durable.
    virtual void sync() = 0;

    void setOffsetShift(std::int64_t shift) { m_shift = shift; }
    std::int64_t offsetShift() const { return m_shift; }

    // Exactly length bytes, for a field about to be written; refused as
    // requireInside refuses where the image ends inside the field.
    Bytes readField(std::int64_t offset, std::int64_t length) const;
    // 0 at or past the end.
    std::uint8_t readByte(std::int64_t offset) const;
    // One character per byte (Latin-1) as UTF-8, trailing blanks kept; 0 past the end.
    std::string readText(std::int64_t offset, int count) const;
    void writeByte(std::int64_t offset, std::uint8_t value);

protected:
    // The file that failures name, as the system spells its path; none here.
    virtual std::string failingFile() const { return {}; }
    // Throws RomError with the message, naming the file where there is one.
    [[noreturn]] void fail(const std::string &what) const;
    [[noreturn]] void failBeyondEnd(std::int64_t fileOffset, std::int64_t end) const;

    std::int64_t m_shift = 0;
};
