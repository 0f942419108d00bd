// libFuzzer target: a save of any text over any field bytes, through the
// image file's own code. The field must end as the blank pass and then the
// name give, by a model written apart from the codec, and no byte outside it
// may change.
#include "GetText.h"
#include "NameStore.h"
#include "RomError.h"
#include "RomFile.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Guard = 8;
RomFile *rom = nullptr;

// The image lives in memory, so a run costs no system call; the file that
// was opened lends it its identity.
QByteArray disk;
struct stat identity {};

ssize_t memoryRead(int, void *buffer, size_t count, off_t offset)
{
    const qsizetype n = std::max<qsizetype>(0, std::min<qsizetype>(qsizetype(count), disk.size() - offset));
    std::memcpy(buffer, disk.constData() + offset, size_t(n));
    return n;
}

ssize_t memoryWrite(int, const void *buffer, size_t count, off_t offset)
{
    if (offset + qsizetype(count) > disk.size())
        std::abort();  // the image must never grow
    std::memcpy(disk.data() + offset, buffer, count);
    return ssize_t(count);
}

int memoryStat(struct stat *st)
{
    *st = identity;
    st->st_size = disk.size();
    return 0;
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
    if (fd < 0 || ::fstat(fd, &identity) != 0)
        std::abort();
    ::close(fd);
    std::atexit([] { ::unlink(path); });
    rom = new RomFile;
    if (!rom->open(QString::fromLocal8Bit(path)))
        std::abort();
    RomFile::DiskCalls memory = RomFile::diskCalls();
    memory.pread = memoryRead;
    memory.pwrite = memoryWrite;
    memory.fstat = [](int, struct stat *st) { return memoryStat(st); };
    memory.stat = [](const char *, struct stat *st) { return memoryStat(st); };
    // For the rest of the run.
    static const StandIn<RomFile::DiskCalls> disk = RomFile::replaceDiskForTesting(memory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int length = 1 + data[0] % 16;
    if (size < std::size_t(1 + length))
        return 0;
    const QByteArray field(reinterpret_cast<const char *>(data + 1), length);
    QString text;
    for (std::size_t k = 1 + std::size_t(length); k + 1 < size; k += 2)
        text += QChar(char16_t(data[k] | data[k + 1] << 8));
    const bool fits = text.size() <= length;

    // The blank pass leaves 0xFF everywhere; the name puts each character's
    // code over it, and a character without one leaves the blank. A text
    // too long is refused after the blank pass.
    QByteArray expected(length, '\xFF');
    for (int k = 0; fits && k < text.size(); ++k)
        if (const int code = codeOf(text.at(k).unicode()); code >= 0)
            expected[k] = char(code);
    if (fits && savedField(field, text) != expected)
        std::abort();

    const QByteArray before = QByteArray(Guard, '\x5A') + field + QByteArray(Guard, '\xA5');
    disk = before;
    try {
        GetText::WriteName(*rom, Guard, QString(length, u' '), std::int16_t(length));
        GetText::WriteName(*rom, Guard, text, std::int16_t(length));
        if (!fits)
            std::abort();
    } catch (const RomError &) {
        if (fits)
            std::abort();
    }
    if (disk != before.left(Guard) + expected + before.right(Guard))
        std::abort();
    return 0;
}
