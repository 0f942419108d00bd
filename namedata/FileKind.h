#pragma once

#include "Bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What a file offered as an image is, told from its first bytes and its
// size before any name is read from it: an archive, a patch or a picture is
// turned away by what it is, and a file too small to hold even the internal
// header is no image at all. Every front end asks here when it opens an
// image, so they all refuse the same files with the same words. Files that
// are large enough to hold the internal header but end before some name
// tables stay readable: the names past their end are empty.
namespace FileKind {

inline constexpr std::size_t StartLength = 16;  // the first bytes it needs

// The smallest file that can hold the internal header: it ends here when
// the image has no copier header.
inline constexpr std::int64_t SmallestImage = 0xFFE0;

// Why a file of this size that starts with these bytes is not an image, as a
// sentence fit for the user without the file's name; nothing when it may be one.
std::optional<std::string> refusal(ByteView start, std::int64_t size);
// Its two halves: what the first bytes show the file to be, then whether
// the size can hold an image, for a front end that tells more between them.
std::optional<std::string> byContent(ByteView start);
std::optional<std::string> bySize(std::int64_t size);

} // namespace FileKind
