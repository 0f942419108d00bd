#pragma once

#include "Image.h"

#include <cstdint>
#include <vector>

// An image of which only some spans have been read, as the page reads the
// start of a file and its name tables first: a read inside one of them
// answers as the whole file would, any other read fails, and nothing is
// written.
class PartialImage : public Image {
public:
    struct Span {
        std::int64_t offset;
        std::int64_t length;
    };

    // The file's size, its spans in order, and their bytes one after
    // another; a span is cut where the file ends.
    PartialImage(std::int64_t size, const std::vector<Span> &spans, ByteView bytes);

    std::int64_t size() const override { return m_size; }
    Bytes read(std::int64_t offset, std::int64_t length) const override;
    void requireInside(std::int64_t offset, std::int64_t length) const override;
    void writeField(std::int64_t offset, ByteView bytes) override;
    void sync() override {}

private:
    struct Piece {
        std::int64_t offset;
        Bytes bytes;
    };
    std::int64_t m_size;
    std::vector<Piece> m_pieces;
};
