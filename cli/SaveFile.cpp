#include "SaveFile.h"

#include "CommandLine.h"
#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Takes the name without ever replacing a file that has it.
int linkWithoutReplacing(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system that cannot rename that way: a hard link refuses too.
    if (::link(from, to) != 0)
        return -1;
    ::unlink(from);
    return 0;
}

// Gives a file made with O_TMPFILE the name; a file that has it already is
// never replaced (EEXIST).
int linkUnnamed(int fd, const char *to)
{
    if (::linkat(fd, "", AT_FDCWD, to, AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != ENOENT && errno != EPERM)
        return -1;
    // Without the right to link a descriptor itself, through its /proc name.
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

// A short hidden name in the folder that no file has yet, whatever the
// length of the name it stands in for.
std::string spareName(const std::string &folder, int attempt)
{
    return folder + "/.orvane-" + std::to_string(::getpid()) + '-' + std::to_string(attempt);
}

// Ctrl+C and the like wait while a file changes its name, so that only a
// SIGKILL can come between the two steps of a replacement.
class QuietSignals {
public:
    QuietSignals()
    {
        sigset_t all;
        sigemptyset(&all);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&all, signal);
        sigprocmask(SIG_BLOCK, &all, &m_before);
    }
    ~QuietSignals() { sigprocmask(SIG_SETMASK, &m_before, nullptr); }
    QuietSignals(const QuietSignals &) = delete;
    QuietSignals &operator=(const QuietSignals &) = delete;

private:
    sigset_t m_before;
};

// Gives the written file its name: the hidden temporary one where the file
// system had no nameless files, else the nameless one through a short spare
// name when a file is to be replaced. Returns 0, or -1 with errno set, and
// leaves no second name behind either way.
int giveName(int fd, const std::string &temporary, const std::string &folder, const std::string &path,
             bool replace)
{
    if (!temporary.empty()) {
        const int named = replace ? ::rename(temporary.c_str(), path.c_str())
                                  : linkWithoutReplacing(temporary.c_str(), path.c_str());
        const int error = errno;
        if (named != 0)
            ::unlink(temporary.c_str());
        errno = error;
        return named;
    }
    if (!replace)
        return linkUnnamed(fd, path.c_str());
    QuietSignals quiet;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string spare = spareName(folder, attempt);
        if (linkUnnamed(fd, spare.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        if (::rename(spare.c_str(), path.c_str()) == 0)
            return 0;
        const int error = errno;
        ::unlink(spare.c_str());
        errno = error;
        return -1;
    }
    return -1;
}

} // namespace

std::optional<FileAccess::IoFailure> writeAll(FileAccess::FileHandle file, std::string_view bytes)
{
    const ByteView all(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    std::size_t done = 0;
    while (done < all.size()) {
        FileAccess::IoResult n = FileAccess::disk().write(file, all.subspan(done));
        if (n.failure && FileAccess::interrupted(*n.failure))
            continue;
        if (n.failure)
            return n.failure;
        if (n.count == 0)
            return FileAccess::failure(EIO);
        done += std::size_t(n.count);
    }
    return std::nullopt;
}

std::string saveWhole(const std::string &path, std::string_view bytes, bool replace)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0                 ? std::string("/")
                                                          : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return "no file name given";

    const FileAccess::StatusResult existing = FileAccess::disk().statusAt(path, false);
    const bool exists = !existing.failure;
    if (exists) {
        if (!replace)
            return CommandLine::systemReason(EEXIST);
        if (!existing.status.regular)
            return "not a regular file, so not replaced";
    }
    // A file that is replaced keeps its mode; a new one gets the usual one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = exists ? mode_t(existing.status.permissions) : 0666 & ~mask;

    // The bytes go first into a file without a name, which a kill takes with
    // it; only a file system without such files gets a hidden one.
    std::string temporary;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        temporary = folder + "/.orvane-XXXXXX";
        fd = ::mkstemp(temporary.data());
    }
    if (fd < 0)
        return CommandLine::systemReason(errno);
    std::optional<FileAccess::IoFailure> failed;
    if (::fchmod(fd, mode) != 0)
        failed = FileAccess::failure(errno);
    if (!failed)
        failed = writeAll(fd, bytes);
    if (!failed)
        failed = FileAccess::disk().sync(fd, true);
    bool ok = !failed;
    std::string reason = failed ? failed->reason : std::string();
    // A stop asked for while the bytes went in is heeded here, where the
    // file has no name yet; from the look on, a stop waits for the name.
    std::string stopped;
    {
        QuietSignals quiet;
        if (ok && StopSignals::received() != 0) {
            ok = false;
            stopped = std::string("stopped by ") + StopSignals::name(StopSignals::received());
        }
        if (!ok && !temporary.empty())
            ::unlink(temporary.c_str());
        if (ok && giveName(fd, temporary, folder, path, replace) != 0) {
            ok = false;
            reason = CommandLine::systemReason(errno);
        }
    }
    ::close(fd);
    if (!stopped.empty())
        return stopped;
    if (!ok)
        return reason;
    // The new name itself must survive a power cut.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
