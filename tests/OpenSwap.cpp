// The build fortifies optimised code, which turns open() with flags that are
// not constant into __open_2(); both are taken here, and neither may be the
// inline wrapper of the fortified headers.
#undef _FORTIFY_SOURCE

#include "OpenSwap.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray swapAt;
QByteArray swapIn;
bool noProc = false;

int openSwapping(const char *path, int flags, mode_t mode)
{
    if (noProc && std::strncmp(path, "/proc/self/fd/", 14) == 0) {
        errno = ENOENT;
        return -1;
    }
    if (!swapAt.isEmpty() && (flags & O_PATH) == 0) {
        std::rename(swapIn.constData(), swapAt.constData());
        swapAt.clear();
    }
    return int(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = mode_t(va_arg(arguments, unsigned));
        va_end(arguments);
    }
    return openSwapping(path, flags, mode);
}

int open64(const char *path, int flags, ...) __attribute__((alias("open")));
int __open_2(const char *path, int flags) { return openSwapping(path, flags, 0); }
int __open64_2(const char *path, int flags) __attribute__((alias("__open_2")));

} // extern "C"

void OpenSwap::arm(const QByteArray &path, const QByteArray &replacement, bool withoutProc)
{
    swapAt = path;
    swapIn = replacement;
    noProc = withoutProc;
}

void OpenSwap::disarm()
{
    swapAt.clear();
    noProc = false;
}
