#include "RomFile.h"

#include "RomError.h"

#include <fmt/format.h>

#include <cerrno>

namespace {

// Why a file in this state is not opened, or nothing: only a regular file is,
// and a file with no write permission at all is one the user has protected,
// respected even where the system would let an administrator write.
std::string refusal(const FileAccess::FileStatus &looked, RomFile::Access access)
{
    if (looked.folder)
        return FileAccess::failure(EISDIR).reason;
    if (!looked.regular)
        return "Not a regular file";
    if (access != RomFile::Access::ReadOnly && (looked.permissions & 0222) == 0)
        return FileAccess::failure(EACCES).reason;
    return {};
}

} // namespace

RomFile::~RomFile()
{
    close();
}

bool RomFile::open(const std::string &nativePath, Access access)
{
    close();
    m_error.clear();
    m_shift = 0;
    if (nativePath.empty()) {
        m_error = "No file was chosen.";
        return false;
    }
    // A dry run makes the very open of the real run, for writing, so it fails
    // wherever that would (no permission, a file system mounted read-only,
    // an append-only or immutable file, a program running from the file);
    // it then writes nothing.
    const FileAccess::Opened made = FileAccess::openLookedAt(
        nativePath, access != Access::ReadOnly,
        [access](const FileAccess::FileStatus &looked) { return refusal(looked, access); });
    if (made.file == FileAccess::NoFile) {
        m_error = made.error;
        return false;
    }
    // What was swapped in between a look at the path and its opening is
    // refused here.
    if (!made.opened.regular || made.opened.identity != made.looked.identity) {
        m_error = "The file was replaced while it was being opened";
        FileAccess::closeFile(made.file);
        return false;
    }
    m_file = made.file;
    m_access = access;
    m_nativePath = nativePath;
    m_identity = made.opened.identity;
    return true;
}

void RomFile::close()
{
    if (m_file != FileAccess::NoFile) {
        FileAccess::closeFile(m_file);
        m_file = FileAccess::NoFile;
    }
    m_nativePath.clear();
}

FileAccess::FileStatus RomFile::status() const
{
    if (m_file == FileAccess::NoFile)
        fail("No image is open.");
    const FileAccess::StatusResult looked = FileAccess::disk().statusOf(m_file);
    if (looked.failure)
        fail("Cannot read the state of the image: " + looked.failure->reason);
    return looked.status;
}

std::int64_t RomFile::size() const
{
    return status().size;
}

Bytes RomFile::read(std::int64_t offset, std::int64_t length) const
{
    if (m_file == FileAccess::NoFile)
        fail("No image is open.");
    offset += m_shift;
    if (offset < 0)
        fail(fmt::format("Offset 0x{:x} lies before the start of the file.", offset));
    Bytes bytes(std::size_t(std::max<std::int64_t>(0, length)));
    std::int64_t got = 0;
    while (got < length) {
        const FileAccess::IoResult n
            = FileAccess::disk().readAt(m_file, std::span(bytes).subspan(std::size_t(got)), offset + got);
        if (n.failure && FileAccess::interrupted(*n.failure))
            continue;
        if (n.failure)
            fail(fmt::format("Cannot read the image at offset 0x{:x}: {}", offset + got, n.failure->reason));
        if (n.count == 0)
            break;  // the end of the file
        got += n.count;
    }
    bytes.resize(std::size_t(got));
    return bytes;
}

bool RomFile::pathNamesOpenedFile() const
{
    return isFileAt(m_nativePath);
}

bool RomFile::isFileAt(const std::string &nativePath) const
{
    if (m_file == FileAccess::NoFile)
        return false;
    const FileAccess::StatusResult named = FileAccess::disk().statusAt(nativePath, true);
    return !named.failure && named.status.identity == m_identity;
}

void RomFile::requireInside(std::int64_t offset, std::int64_t length) const
{
    const FileAccess::FileStatus opened = status();
    offset += m_shift;
    // The open handle would still take the write, but into a file that the
    // user no longer finds under its name.
    const FileAccess::StatusResult named = FileAccess::disk().statusAt(m_nativePath, true);
    if (named.failure) {
        if (opened.links == 0)
            fail("The file has been deleted since it was opened.");
        fail("The file has been moved or deleted since it was opened.");
    }
    if (named.status.identity != m_identity)
        fail("The file has been replaced by another file since it was opened.");
    if (offset < 0 || offset + length > opened.size)
        failBeyondEnd(offset, opened.size);
}

FileAccess::IoResult RomFile::writeAllAt(std::int64_t offset, ByteView bytes)
{
    std::int64_t done = 0;
    while (done < std::int64_t(bytes.size())) {
        FileAccess::IoResult n = FileAccess::disk().writeAt(m_file, bytes.subspan(std::size_t(done)), offset + done);
        if (n.failure && FileAccess::interrupted(*n.failure))
            continue;
        if (n.failure)
            return {done, std::move(n.failure)};
        if (n.count == 0)
            return {done, FileAccess::failure(EIO)};  // no progress and no reason: do not spin
        done += n.count;
    }
    return {done, std::nullopt};
}

void RomFile::writeField(std::int64_t offset, ByteView bytes)
{
    const auto length = std::int64_t(bytes.size());
    requireInside(offset, length);
    if (m_access != Access::ReadWrite)
        fail("The image is open for reading only.");
    // Another program may have cut the file since the check: then nothing is
    // written, as a write would grow the file again.
    const Bytes old = readField(offset, length);
    offset += m_shift;
    const FileAccess::IoResult written = writeAllAt(offset, bytes);
    if (!written.failure)
        return;
    const std::int64_t partial = written.count;
    const std::string message
        = fmt::format("Cannot write the image at offset 0x{:x}: {}", offset, written.failure->reason);
    // Part of the field went in before the failure: put the old bytes back,
    // so the field is not left half old and half new. The whole field was
    // read, so the restore takes only bytes that were read.
    if (partial > 0 && writeAllAt(offset, ByteView(old).first(std::size_t(partial))).failure) {
        RomError left(message + " The field may now hold part of the new name.", RomError::Left::MaybeChanged);
        left.setFile(m_nativePath);
        throw left;
    }
    fail(message);
}

void RomFile::sync()
{
    if (m_file == FileAccess::NoFile)
        fail("No image is open.");
    if (const auto failure = FileAccess::disk().sync(m_file, false))
        fail("Cannot make the changes durable: " + failure->reason);
}
