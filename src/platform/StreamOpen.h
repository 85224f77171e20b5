#pragma once
// Opening a file that may be a FIFO for reading, without hanging on a FIFO no program writes.
#include <QByteArray>

namespace platform {

struct OpenedStream {
    int fd = -1;            // open for reading (blocking), closed on exec; -1 on failure
    int error = 0;          // errno when it could not be opened
    bool noWriter = false;  // a FIFO that no program opened to write within the wait
    QByteArray head;        // bytes read while waiting for the writer: the stream's start
};

// Opens a native file (not a folder) for reading. A FIFO is opened without waiting for its
// writer, then given writerWaitMs for one to come: a writer already there, one that opens it
// or its first bytes end the wait.
OpenedStream OpenStream(const QByteArray& nativePath, int writerWaitMs);

}  // namespace platform
