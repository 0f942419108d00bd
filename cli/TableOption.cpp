// --table FILE: the team's character table, read and checked before any image
// is opened, and used by every name the command reads or writes.
#include "Commands.h"

#include "CharTable.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace Commands {
namespace {

// 256 lines of a few characters each: anything this large is no table.
constexpr std::size_t TableLimit = 1024 * 1024;

std::optional<CharTable> &chosen()
{
    static std::optional<CharTable> table;
    return table;
}

// The file's bytes, or why they could not be read.
std::string readSmall(const std::string &path, std::string &bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return CommandLine::systemReason(errno);
    std::string why;
    char chunk[65536];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = CommandLine::systemReason(errno);
        else if (bytes.size() + std::size_t(n) > TableLimit)
            why = "larger than 1 MiB, too large for a character table";
        if (n <= 0 || !why.empty())
            break;
        bytes.append(chunk, std::size_t(n));
    }
    ::close(fd);
    return why;
}

} // namespace

const CharTable &characters()
{
    return chosen() ? *chosen() : CharTable::game();
}

bool readTableOption(const Arguments &arguments)
{
    const std::optional<std::string> path = arguments.value("--table");
    if (!path)
        return true;
    std::string bytes;
    if (const std::string why = readSmall(*path, bytes); !why.empty()) {
        CommandLine::report(CommandLine::shown(*path) + ": " + why + '.');
        return false;
    }
    CharTable::Read read = CharTable::read(bytes, *path);
    if (!read.table) {
        CommandLine::report(CommandLine::shown(read.refusal));
        return false;
    }
    chosen() = std::move(read.table);
    return true;
}

} // namespace Commands
