#include "Image.h"

#include "RomError.h"
#include "Utf8.h"

#include <fmt/format.h>

Bytes Image::readField(std::int64_t offset, std::int64_t length) const
{
    Bytes bytes = read(offset, length);
    if (std::int64_t(bytes.size()) < length)
        failBeyondEnd(offset + m_shift, offset + m_shift + std::int64_t(bytes.size()));
    return bytes;
}

std::uint8_t Image::readByte(std::int64_t offset) const
{
    const Bytes byte = read(offset, 1);
    return byte.empty() ? 0 : byte.front();
}

std::string Image::readText(std::int64_t offset, int count) const
{
    Bytes bytes = read(offset, count);
    bytes.resize(std::size_t(count), 0);
    return Utf8::fromLatin1(textOf(bytes));
}

void Image::writeByte(std::int64_t offset, std::uint8_t value)
{
    const Bytes byte{value};
    writeField(offset, byte);
}

void Image::fail(const std::string &what) const
{
    RomError error(what);
    error.setFile(failingFile());
    throw error;
}

void Image::failBeyondEnd(std::int64_t fileOffset, std::int64_t end) const
{
    fail(fmt::format("The name field at offset 0x{:x} lies beyond the end of the file (the file is {} bytes long).",
                     fileOffset, end));
}
