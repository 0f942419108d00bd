#include "PartialImage.h"

#include <fmt/format.h>

#include <algorithm>

PartialImage::PartialImage(std::int64_t size, const std::vector<Span> &spans, ByteView bytes) : m_size(size)
{
    std::size_t at = 0;
    for (const Span &span : spans) {
        const std::int64_t length = std::clamp<std::int64_t>(size - span.offset, 0, span.length);
        if (at + std::size_t(length) > bytes.size())
            fail(fmt::format("Only {} bytes of the file's first spans were given.", bytes.size()));
        const ByteView piece = bytes.subspan(at, std::size_t(length));
        m_pieces.push_back({span.offset, Bytes(piece.begin(), piece.end())});
        at += std::size_t(length);
    }
}

Bytes PartialImage::read(std::int64_t offset, std::int64_t length) const
{
    offset += m_shift;
    if (offset < 0)
        fail(fmt::format("Offset 0x{:x} lies before the start of the file.", offset));
    const std::int64_t from = std::min(offset, m_size);
    const std::int64_t to = std::min(m_size, from + std::max<std::int64_t>(0, length));
    for (const Piece &piece : m_pieces) {
        const std::int64_t end = piece.offset + std::int64_t(piece.bytes.size());
        if (piece.offset <= from && to <= end)
            return Bytes(piece.bytes.begin() + (from - piece.offset), piece.bytes.begin() + (to - piece.offset));
    }
    fail(fmt::format("Bytes 0x{:x} to 0x{:x} of the file have not been read yet.", from, to));
}

void PartialImage::requireInside(std::int64_t offset, std::int64_t length) const
{
    offset += m_shift;
    if (offset < 0 || offset + length > m_size)
        failBeyondEnd(offset, m_size);
}

void PartialImage::writeField(std::int64_t, ByteView)
{
    fail("Only part of the file has been read: nothing is written to it.");
}
