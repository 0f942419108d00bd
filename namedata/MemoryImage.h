#pragma once

#include "Image.h"

// An image held in memory, as the page and the tests keep one: the same
// reads, refusals and writes as a file, with nothing to sync.
class MemoryImage : public Image {
public:
    MemoryImage() = default;
    explicit MemoryImage(Bytes bytes) : m_bytes(std::move(bytes)) {}

    const Bytes &bytes() const { return m_bytes; }

    std::int64_t size() const override { return std::int64_t(m_bytes.size()); }
    Bytes read(std::int64_t offset, std::int64_t length) const override;
    void requireInside(std::int64_t offset, std::int64_t length) const override;
    void writeField(std::int64_t offset, ByteView bytes) override;
    void sync() override {}

private:
    Bytes m_bytes;
};
