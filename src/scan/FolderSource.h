#pragma once
// Hands the folder scan the listings of the folders it walks, in the order it walks them.
// With read-ahead threads, workers read the tree ahead of the scan in the scan's own order
// (pre-order, subfolders by the sorted name list): a worker that has listed a folder puts
// its subfolders at the front of the queue, so the readers keep just ahead of the scan and
// both cores stat files. The scan reads a folder itself when no worker has started it.
// Finished listings that wait for the scan are bounded by an entry budget.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/DirReader.h"

namespace scan {

struct FolderListing {
    bool ok = false;
    int error = 0;  // errno when not (or not fully) read
    quint64 device = 0;
    quint64 inode = 0;
    std::vector<qint64> fileSizes;
    std::vector<qint64> fileAlloc;              // allocated bytes of the same files
    std::vector<platform::LinkedEntry> linked;  // hard-linked ones: index, inode
    qint64 ownAlloc = 0;                        // the folder's own allocated bytes
    std::vector<platform::FileDetail> files;    // only when the source gives detail
    // Subfolders in the order of the sorted name list: names compared without regard to
    // case, equal ones by their bytes; names beginning with "}" are left out.
    std::vector<platform::DirListing::Sub> subs;
    std::vector<QByteArray> leftOut;  // the subfolders left out by that rule, by native name
    platform::DirRef node;            // where the subfolders are opened from
};

// Case-insensitive order of the sorted name list; ties by the native bytes.
bool NameBefore(const platform::DirListing::Sub& a, const platform::DirListing::Sub& b);

class FolderSource {
  public:
    struct Task;
    using TaskRef = std::shared_ptr<Task>;

    // threads 0: every folder is read by the caller, when it asks. With detail, listings
    // also carry each file's name, inode and link count.
    FolderSource(const QByteArray& nativeRoot, int threads, size_t budget = kBudget,
                 bool detail = false);
    ~FolderSource();  // stops and joins the workers
    FolderSource(const FolderSource&) = delete;
    FolderSource& operator=(const FolderSource&) = delete;

    bool valid() const { return reader_.valid(); }
    quint64 rootDevice() const { return reader_.rootDevice(); }
    quint64 rootInode() const { return reader_.rootInode(); }
    int error() const { return reader_.error(); }

    // Reads the root folder now into listing; its subfolders' tasks follow from children().
    TaskRef root(FolderListing& listing);
    // The listing of a task; waits for a worker that is reading it.
    FolderListing take(const TaskRef& task);
    // The tasks of the subfolders of a taken task, in the order of its listing's subs;
    // handed over once.
    std::vector<TaskRef> children(const TaskRef& task);
    // The scan will not enter this folder: its reading is dropped (when not begun).
    void skip(const TaskRef& task);
    // Ends the workers soon; later takes read nothing.
    void stop();

    // Finished listings may hold this many entries while they wait (files and folders).
    static constexpr size_t kBudget = 1u << 18;
    // The largest number of entries waiting at any time of this source (for tests).
    size_t peakWaiting() const { return peakWaiting_; }
    // Waits until the workers have read all they may ahead of the scan: nothing queued, or
    // the budget full, and no folder being read (for tests; a scan never needs to wait).
    void waitUntilSettled();

  private:
    void work();
    // Pops the queue's front and reads it (mutex held on entry and on return).
    void runNext(std::unique_lock<std::mutex>& lock);
    FolderListing list(const platform::DirRef& parent, const QByteArray& name);
    // Makes the children of a listed task and queues them first (mutex held).
    void queueChildren(const TaskRef& task);
    // A finished listing leaves the budget (mutex held).
    void release(const Task& task);

    platform::DirReader reader_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable wake_;     // workers: a task or budget is there, or stop
    std::condition_variable done_;     // the scan: a task it waits for is finished
    std::condition_variable settled_;  // waitUntilSettled: a reading ended
    std::deque<TaskRef> queue_;        // announced and not started; the front is next
    size_t budget_;
    size_t waiting_ = 0;  // entries of finished listings not yet taken
    size_t peakWaiting_ = 0;
    int reading_ = 0;  // folders being read from the queue
    bool stopping_ = false;
    const Task* awaited_ = nullptr;  // the task the scan waits for
    std::vector<std::thread> workers_;
};

}  // namespace scan
