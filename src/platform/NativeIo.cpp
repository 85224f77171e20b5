#include "platform/NativeIo.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include "platform/DriveMap.h"

namespace platform {

bool ReadWholeFile(const QByteArray& path, QByteArray& out, qsizetype limit, bool* missing) {
    out.clear();
    if (missing) *missing = false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (missing) *missing = (errno == ENOENT);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, n);
        if (out.size() > limit) break;  // a runaway file
    }
    ::close(fd);
    return true;
}

QByteArray RealPath(const QByteArray& path) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved) return {};
    QByteArray out(resolved);
    std::free(resolved);
    return out;
}

QByteArray AbsolutePath(const QByteArray& path) {
    if (path.startsWith('/')) return NormaliseNative(path);
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return NormaliseNative("/" + path);
    QByteArray base(cwd);
    std::free(cwd);
    return NormaliseNative(base + '/' + path);
}

QByteArray LastName(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

void CloseQuietly(int fd) {
    if (fd < 0) return;
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

}  // namespace platform
