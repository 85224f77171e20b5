#pragma once
// A small tmpfs of its own for a test: a disk that can be filled, or that holds sparse
// files of any size. The tests run as root or in a user and mount namespace of their own
// (EnterOwnMountNamespace), so a mount that fails is a failure of the test, never a skip:
// assert mounted() and give failure() as the message.
#include <sys/mount.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <string>

#include "common/TestSupport.h"

namespace testsupport {

class TmpfsMount {
  public:
    explicit TmpfsMount(const char* size = "64k") {
        path_ = QFile::encodeName(dir_.path());
        const std::string options = std::string("size=") + size + ",mode=0777";
        if (::mount("tmpfs", path_.constData(), "tmpfs", 0, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            reason_ = std::string("cannot mount a tmpfs here (") + std::strerror(errno) + ")";
            if (!MountUnavailableReason().empty()) reason_ += ": " + MountUnavailableReason();
        }
    }
    ~TmpfsMount() {
        if (mounted_) ::umount2(path_.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& failure() const { return reason_; }
    QByteArray path() const { return path_; }

  private:
    QTemporaryDir dir_;
    QByteArray path_;
    bool mounted_ = false;
    std::string reason_;
};

// Fills the file system that holds folder until a write fails.
inline void FillDisk(const QByteArray& folder) {
    QFile filler(QFile::decodeName(folder + "/filler"));
    if (!filler.open(QIODevice::WriteOnly)) return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    // The last partial block: a few bytes more may still fit.
    QFile tail(QFile::decodeName(folder + "/tail"));
    if (tail.open(QIODevice::WriteOnly)) {
        while (tail.write("x", 1) == 1 && tail.flush()) {
        }
    }
}

}  // namespace testsupport
