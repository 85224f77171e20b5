#pragma once
// Another user racing a test: processes that keep exchanging two entries of a folder (one may
// be a link) with RENAME_EXCHANGE, so that either name is, at any moment, either entry. As root
// they run as a user of their own (kUid); as another user they stay that user (its namespace
// maps no other). Stop() may be called from any process forked from the test meanwhile, such
// as a body of RunUnprivileged, so that what they left can be checked at rest.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <atomic>
#include <functional>
#include <new>
#include <vector>

namespace testsupport {

// The shared trash another user lays out on a sticky top folder: its own `.Trash`, a folder
// "evil" that looks like a trash, and swap, a link to it, ready to be exchanged with mine.
inline bool LayOutDivertedTrash(const QByteArray& top, const QByteArray& swap) {
    return ::mkdir((top + "/.Trash").constData(), 01777) == 0 &&
           ::mkdir((top + "/evil").constData(), 0777) == 0 &&
           ::mkdir((top + "/evil/files").constData(), 0777) == 0 &&
           ::mkdir((top + "/evil/info").constData(), 0777) == 0 &&
           ::symlink("../evil", swap.constData()) == 0;
}

class SwapRace {
  public:
    static constexpr uid_t kUid = 4321;
    static uid_t Uid() { return ::geteuid() == 0 ? kUid : ::geteuid(); }

    // layOut runs first, once, as the other user (false: it failed, nothing starts).
    SwapRace(const QByteArray& a, const QByteArray& b, int processes,
             const std::function<bool()>& layOut) {
        void* shared = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                              MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) return;
        shared_ = new (shared) Shared;
        for (int n = 0; n < processes; ++n) {
            int ready[2];
            if (::pipe(ready) != 0) return;
            std::fflush(nullptr);
            const pid_t pid = ::fork();
            if (pid == 0) Run(a, b, n == 0 ? layOut : std::function<bool()>(), ready[1]);
            ::close(ready[1]);
            char byte = 0;
            const bool started = pid > 0 && ::read(ready[0], &byte, 1) == 1;
            ::close(ready[0]);
            if (pid > 0) pids_.push_back(pid);
            if (!started) return;
        }
        started_ = true;
    }
    ~SwapRace() {
        if (shared_) shared_->stop = true;
        for (const pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
        if (shared_) ::munmap(shared_, sizeof(Shared));
    }
    SwapRace(const SwapRace&) = delete;
    SwapRace& operator=(const SwapRace&) = delete;

    bool started() const { return started_; }
    // Ends the swapping and returns once no process swaps any more.
    void Stop() {
        if (!shared_ || !started_) return;
        shared_->stop = true;
        while (shared_->stopped.load() < int(pids_.size())) ::sched_yield();
    }
    // Exchanges made so far.
    long swaps() const { return shared_ ? shared_->swaps.load() : 0; }

  private:
    struct Shared {
        std::atomic<bool> stop{false};
        std::atomic<int> stopped{0};
        std::atomic<long> swaps{0};
    };

    [[noreturn]] void Run(const QByteArray& a, const QByteArray& b,
                          const std::function<bool()>& layOut, int ready) {
        const uid_t uid = kUid;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 ||
                                 ::setresuid(uid, uid, uid) != 0))
            ::_exit(2);
        ::umask(0);
        if (layOut && !layOut()) ::_exit(3);
        (void)!::write(ready, "x", 1);
        while (!shared_->stop.load(std::memory_order_relaxed)) {
            if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0)
                ++shared_->swaps;
        }
        ++shared_->stopped;
        ::_exit(0);
    }

    Shared* shared_ = nullptr;
    std::vector<pid_t> pids_;
    bool started_ = false;
};

}  // namespace testsupport
