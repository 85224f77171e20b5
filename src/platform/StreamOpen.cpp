#include "platform/StreamOpen.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/NativeIo.h"

namespace platform {

namespace {

// Waits for the writer of a FIFO opened without blocking. True once one is there (or came
// and went: what it left, or an empty stream, is read).
bool AwaitWriter(int fd, int waitMs, QByteArray& head, int& error) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
    bool hungUp = false;
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            head.append(buffer, qsizetype(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        // Nothing to read yet, but a writer holds the FIFO open.
        if (n < 0 && errno == EAGAIN) return true;
        if (n < 0) {
            error = errno;
            return false;
        }
        // Nothing to read and no writer: a writer that came and went left an empty stream.
        if (hungUp) return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        // Wakes on the first bytes or the close of a writer that opened meanwhile; a writer
        // that opens and writes nothing yet is seen by the next read.
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(std::min<long long>(left, 50))) > 0 && (p.revents & POLLHUP))
            hungUp = true;
    }
}

}  // namespace

OpenedStream OpenStream(const QByteArray& nativePath, int writerWaitMs) {
    OpenedStream s;
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        s.error = errno;
        return s;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        s.error = errno;
        CloseQuietly(fd);
        return s;
    }
    if (S_ISDIR(st.st_mode)) {
        s.error = EISDIR;
        CloseQuietly(fd);
        return s;
    }
    if (S_ISFIFO(st.st_mode) && !AwaitWriter(fd, writerWaitMs, s.head, s.error)) {
        s.noWriter = s.error == 0;
        CloseQuietly(fd);
        return s;
    }
    // Read as any file from here: waiting for bytes is the reader's to do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        s.error = errno;
        CloseQuietly(fd);
        return s;
    }
    s.fd = fd;
    return s;
}

}  // namespace platform
