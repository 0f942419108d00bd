#include "MemoryImage.h"

#include <fmt/format.h>

#include <algorithm>

Bytes MemoryImage::read(std::int64_t offset, std::int64_t length) const
{
    offset += m_shift;
    if (offset < 0)
        fail(fmt::format("Offset 0x{:x} lies before the start of the file.", offset));
    const std::int64_t from = std::min(offset, size());
    const std::int64_t to = std::min(size(), from + std::max<std::int64_t>(0, length));
    return Bytes(m_bytes.begin() + from, m_bytes.begin() + to);
}

void MemoryImage::requireInside(std::int64_t offset, std::int64_t length) const
{
    offset += m_shift;
    if (offset < 0 || offset + length > size())
        failBeyondEnd(offset, size());
}

void MemoryImage::writeField(std::int64_t offset, ByteView bytes)
{
    requireInside(offset, std::int64_t(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + (offset + m_shift));
}
