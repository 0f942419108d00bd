// libFuzzer target: a save of any text over any field bytes, through the
// image file's own code. The field must end as the blank pass and then the
// name give, by a model written apart from the codec, and no byte outside it
// may change.
#include "GetText.h"
#include "NameStore.h"
#include "RomError.h"
#include "RomFile.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

constexpr int Guard = 8;
RomFile *rom = nullptr;

// The image lives in memory, so a run costs no system call; the file that
// was opened lends it its identity.
Bytes disk;
FileAccess::FileStatus identity;

FileAccess::IoResult memoryRead(FileAccess::FileHandle, std::span<std::uint8_t> into, std::int64_t offset)
{
    const auto n = std::max<std::int64_t>(0, std::min<std::int64_t>(std::int64_t(into.size()), std::int64_t(disk.size()) - offset));
    std::memcpy(into.data(), disk.data() + offset, size_t(n));
    return {n, std::nullopt};
}

FileAccess::IoResult memoryWrite(FileAccess::FileHandle, ByteView bytes, std::int64_t offset)
{
    if (std::uint64_t(offset) + bytes.size() > disk.size())
        std::abort();  // the image must never grow
    std::memcpy(disk.data() + offset, bytes.data(), bytes.size());
    return {std::int64_t(bytes.size()), std::nullopt};
}

FileAccess::StatusResult memoryStat()
{
    FileAccess::StatusResult looked{identity, std::nullopt};
    looked.status.size = std::int64_t(disk.size());
    return looked;
}

// The code of a character, or -1: the game's table, spelled out once more.
int codeOf(char16_t c)
{
    constexpr std::u16string_view punctuation = u"!?\\:\x01'-.,_;#+()%~*=";  // 0xBE..0xD0, 0xC2 none
    if (c >= u'A' && c <= u'Z')
        return 0x80 + (c - u'A');
    if (c >= u'a' && c <= u'z')
        return 0x9A + (c - u'a');
    if (c >= u'0' && c <= u'9')
        return 0xB4 + (c - u'0');
    if (c == u' ')
        return 0xFF;
    const auto at = punctuation.find(c);
    return c != u'\x01' && at != std::u16string_view::npos ? int(0xBE + at) : -1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static char path[] = "/tmp/orvane-fuzz-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        std::abort();
    const FileAccess::StatusResult made = FileAccess::platform().statusOf(fd);
    if (made.failure)
        std::abort();
    identity = made.status;
    ::close(fd);
    std::atexit([] { ::unlink(path); });
    rom = new RomFile;
    if (!rom->open(path))
        std::abort();
    FileAccess::Calls memory = FileAccess::disk();
    memory.readAt = memoryRead;
    memory.writeAt = memoryWrite;
    memory.statusOf = [](FileAccess::FileHandle) { return memoryStat(); };
    memory.statusAt = [](const std::string &, bool) { return memoryStat(); };
    // For the rest of the run.
    static const StandIn<FileAccess::Calls> disk = FileAccess::replaceDiskForTesting(memory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int length = 1 + data[0] % 16;
    if (size < std::size_t(1 + length))
        return 0;
    const Bytes field(data + 1, data + 1 + length);
    // The text as UTF-16 units, the way the editor counts positions: a pair
    // of surrogates is one character in two places, a lone one stands for
    // a character that has no code.
    std::u16string units;
    for (std::size_t k = 1 + std::size_t(length); k + 1 < size; k += 2)
        units += char16_t(data[k] | data[k + 1] << 8);
    std::string text;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const char16_t u = units[k];
        if (u >= 0xD800 && u < 0xDC00 && k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] < 0xE000) {
            Utf8::append(text, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[k + 1] - 0xDC00));
            ++k;
        } else {
            Utf8::append(text, u >= 0xD800 && u < 0xE000 ? U'\uFFFD' : char32_t(u));
        }
    }
    const bool fits = units.size() <= std::size_t(length);

    // The blank pass leaves 0xFF everywhere; the name puts each character's
    // code over it, and a character without one leaves the blank. A text
    // too long is refused after the blank pass.
    Bytes expected(std::size_t(length), 0xFF);
    for (std::size_t k = 0; fits && k < units.size(); ++k)
        if (const int code = codeOf(units[k]); code >= 0)
            expected[k] = std::uint8_t(code);
    if (fits && savedField(field, text) != expected)
        std::abort();

    Bytes before(Guard, 0x5A);
    before.insert(before.end(), field.begin(), field.end());
    before.insert(before.end(), Guard, 0xA5);
    disk = before;
    try {
        GetText::WriteName(*rom, Guard, std::string(std::size_t(length), ' '), std::int16_t(length));
        GetText::WriteName(*rom, Guard, text, std::int16_t(length));
        if (!fits)
            std::abort();
    } catch (const RomError &) {
        if (fits)
            std::abort();
    }
    Bytes after(before.begin(), before.begin() + Guard);
    after.insert(after.end(), expected.begin(), expected.end());
    after.insert(after.end(), before.end() - Guard, before.end());
    if (disk != after)
        std::abort();
    return 0;
}
