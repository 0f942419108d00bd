#pragma once

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace NameList::Po {

// A file in memory that the library, which reads and writes only named
// files, can open by a name, and that leaves nothing behind on any end.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("orvane-names-po", MFD_CLOEXEC)) {}
    ~MemoryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

    bool write(std::string_view bytes) const
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, off_t(done));
            if (n < 0 && errno != EINTR)
                return false;
            done += std::size_t(std::max<ssize_t>(n, 0));
        }
        return true;
    }

    bool read(std::string &bytes) const
    {
        bytes.clear();
        char chunk[65536];
        while (true) {
            const ssize_t n = ::pread(m_fd, chunk, sizeof chunk, off_t(bytes.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n == 0;
            bytes.append(chunk, std::size_t(n));
        }
    }

private:
    int m_fd;
};

} // namespace NameList::Po
