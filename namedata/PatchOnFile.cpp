// A patch applied to an image file as it is, copier header and all: the
// one rule for which part of the file a patch is made for.
#include "PatchFile.h"

#include "NameTables.h"
#include "ImageHeader.h"

#include <fmt/format.h>

#include <algorithm>

namespace Patch {

int changedNames(ByteView before, ByteView after, std::int64_t shift)
{
    int count = 0;
    const auto byteOf = [](ByteView bytes, std::int64_t k) {
        return k < std::int64_t(bytes.size()) ? int(bytes[std::size_t(k)]) : -1;
    };
    for (const NameTables::NameTable &table : NameTables::All)
        for (int index = 0; index < table.entries; ++index) {
            const std::int64_t at = NameTables::nameOffset(table, index) + shift;
            for (std::int64_t k = at; k < at + table.nameLength; ++k)
                if (byteOf(before, k) != byteOf(after, k)) {
                    ++count;
                    break;
                }
        }
    return count;
}

std::string sentence(const Note &note, std::string_view image)
{
    switch (note.kind) {
    case Note::Kind::IntoHeader:
        return fmt::format("{} of its records write into the copier header of {} (its first {} bytes): it may be "
                           "made for the image without one.",
                           note.count, image, note.from);
    case Note::Kind::PastEnd:
        return fmt::format("it writes past the end of {}, which grows from {} to {} bytes.", image, note.from,
                           note.to);
    case Note::Kind::CutsTo:
        return fmt::format("it cuts the image to {} bytes.", note.to);
    case Note::Kind::MadeHeaderless:
        break;
    }
    return fmt::format("it changes no name of {}, but {} name(s) of the image behind its copier header: it was "
                       "made for the image without one.",
                       image, note.count);
}

OnFile applyToFile(ByteView patch, ByteView whole, std::size_t header)
{
    OnFile out;
    const Contents contents = read(patch);
    if (contents.format == Format::Bps) {
        if (header > 0 && std::int64_t(whole.size()) == contents.sourceSize
            && ImageHeader::crc32(whole) == contents.sourceCrc) {
            out.bytes = apply(patch, whole);
            return out;
        }
        out.bytes.assign(whole.begin(), whole.begin() + std::ptrdiff_t(header));
        const Bytes target = apply(patch, whole.subspan(header));
        out.bytes.insert(out.bytes.end(), target.begin(), target.end());
        return out;
    }
    std::int64_t intoHeader = 0;
    std::int64_t end = std::int64_t(whole.size());
    for (const Span &record : contents.records) {
        intoHeader += record.offset < std::int64_t(header);
        end = std::max(end, record.offset + record.length);
    }
    if (intoHeader > 0)
        out.notes.push_back({Note::Kind::IntoHeader, intoHeader, std::int64_t(header), 0});
    if (end > std::int64_t(whole.size()))
        out.notes.push_back({Note::Kind::PastEnd, 0, std::int64_t(whole.size()), end});
    if (contents.truncatedTo && *contents.truncatedTo != end)
        out.notes.push_back({Note::Kind::CutsTo, 0, 0, *contents.truncatedTo});
    out.bytes = apply(patch, whole);
    // An IPS made for the image without its copier header changes no name of
    // the file as it is, and some of the image behind the header.
    if (header > 0 && changedNames(whole, out.bytes, 0) == 0) {
        const ByteView behind = whole.subspan(header);
        const int there = changedNames(behind, apply(patch, behind), -std::int64_t(header));
        if (there > 0)
            out.notes.push_back({Note::Kind::MadeHeaderless, there, 0, 0});
    }
    return out;
}

} // namespace Patch
