#include "scan/FolderSource.h"

#include <algorithm>
#include <exception>

namespace scan {

struct FolderSource::Task {
    enum State { Queued, Running, Done, Taken };
    platform::DirRef parent;
    QByteArray name;
    State state = Queued;
    bool dropped = false;  // the scan will not enter it
    FolderListing result;
    size_t entries = 0;
    std::vector<TaskRef> children;
};

bool NameBefore(const platform::DirListing::Sub& a, const platform::DirListing::Sub& b) {
    const int c = a.name.compare(b.name, Qt::CaseInsensitive);
    if (c != 0) return c < 0;
    return a.nativeName < b.nativeName;
}

FolderSource::FolderSource(const QByteArray& nativeRoot, int threads, size_t budget, bool detail)
    : reader_(nativeRoot), budget_(budget) {
    if (!reader_.valid()) return;
    reader_.setDetail(detail);  // before any worker reads
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

FolderSource::~FolderSource() {
    stop();
    for (std::thread& t : workers_) t.join();
}

void FolderSource::stop() {
    cancel_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
    wake_.notify_all();
    done_.notify_all();
    settled_.notify_all();
}

void FolderSource::waitUntilSettled() {
    std::unique_lock<std::mutex> lock(mutex_);
    settled_.wait(lock, [&] {
        return stopping_ || workers_.empty() ||
               (reading_ == 0 && (queue_.empty() || waiting_ >= budget_));
    });
}

FolderListing FolderSource::list(const platform::DirRef& parent, const QByteArray& name) {
    platform::DirListing raw;
    reader_.read(parent, name, raw, &cancel_);
    FolderListing out;
    out.ok = raw.ok;
    out.error = raw.error;
    out.device = raw.device;
    out.inode = raw.inode;
    out.node = std::move(raw.node);
    out.fileSizes = std::move(raw.fileSizes);
    out.fileAlloc = std::move(raw.fileAlloc);
    out.linked = std::move(raw.linked);
    out.ownAlloc = raw.ownAlloc;
    out.files = std::move(raw.files);
    out.subs.reserve(raw.dirs.size());
    for (auto& sub : raw.dirs) {
        // "." and ".." never come; names beginning with "}" are neither listed nor entered.
        if (sub.nativeName.startsWith('}')) {
            out.leftOut.push_back(std::move(sub.nativeName));
            continue;
        }
        out.subs.push_back(std::move(sub));
    }
    std::sort(out.subs.begin(), out.subs.end(), NameBefore);
    return out;
}

void FolderSource::queueChildren(const TaskRef& task) {
    const auto& subs = task->result.subs;
    task->children.reserve(subs.size());
    for (const auto& sub : subs) {
        auto t = std::make_shared<Task>();
        t->parent = task->result.node;
        t->name = sub.nativeName;
        task->children.push_back(std::move(t));
    }
    // The folder's descriptor stays open until each of these has been opened or dropped.
    reader_.claim(task->result.node, subs.size());
    // Children that nobody reads ahead stay Queued: the scan reads them when it gets there.
    if (workers_.empty() || stopping_ || !task->result.ok) return;
    // First child first: the queue's front follows the scan's order.
    for (auto it = task->children.rbegin(); it != task->children.rend(); ++it)
        queue_.push_front(*it);
    wake_.notify_all();
}

FolderSource::TaskRef FolderSource::root(FolderListing& listing) {
    auto t = std::make_shared<Task>();
    t->state = Task::Running;
    t->result = list(nullptr, QByteArray());
    std::lock_guard<std::mutex> lock(mutex_);
    t->state = Task::Taken;
    queueChildren(t);
    listing = std::move(t->result);
    t->result = {};
    return t;
}

std::vector<FolderSource::TaskRef> FolderSource::children(const TaskRef& task) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Handed over once: a folder's task then lives only as long as the scan needs it.
    return std::move(task->children);
}

void FolderSource::skip(const TaskRef& task) {
    std::lock_guard<std::mutex> lock(mutex_);
    task->dropped = true;
    if (task->state == Task::Done) {
        release(*task);
        task->result = {};
        task->state = Task::Taken;
    } else if (task->state == Task::Queued) {
        task->state = Task::Taken;
        reader_.drop(task->parent);
    }
}

FolderListing FolderSource::take(const TaskRef& task) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (task->state == Task::Queued) {
        // No worker has it: reading it here is quicker than waiting.
        task->state = Task::Running;
        lock.unlock();
        task->result = list(task->parent, task->name);
        lock.lock();
        task->state = Task::Taken;
        queueChildren(task);
        return std::move(task->result);
    }
    // While a worker reads the folder, the scan reads the next queued one itself rather
    // than wait idle.
    while (task->state == Task::Running && !stopping_ && !queue_.empty() && waiting_ < budget_)
        runNext(lock);
    awaited_ = task.get();
    done_.wait(lock, [&] { return task->state == Task::Done || stopping_; });
    awaited_ = nullptr;
    if (task->state != Task::Done) return {};
    task->state = Task::Taken;
    release(*task);
    return std::move(task->result);
}

void FolderSource::release(const Task& task) {
    // Workers held back by the budget may go on.
    const bool wasFull = waiting_ >= budget_;
    waiting_ -= task.entries;
    if (wasFull && waiting_ < budget_) wake_.notify_all();
}

void FolderSource::runNext(std::unique_lock<std::mutex>& lock) {
    TaskRef t = std::move(queue_.front());
    queue_.pop_front();
    if (t->state != Task::Queued) return;  // the scan took or skipped it
    t->state = Task::Running;
    ++reading_;
    lock.unlock();
    FolderListing result;
    try {
        result = list(t->parent, t->name);
    } catch (const std::exception&) {
        // Out of memory: the folder counts as unreadable, the scan goes on.
        result = FolderListing();
    }
    lock.lock();
    --reading_;
    settled_.notify_all();
    if (t->dropped) {
        t->state = Task::Taken;
        return;
    }
    t->result = std::move(result);
    queueChildren(t);
    t->entries = t->result.fileSizes.size() + t->result.subs.size() + 1;
    t->state = Task::Done;
    waiting_ += t->entries;
    peakWaiting_ = std::max(peakWaiting_, waiting_);
    if (awaited_ == t.get()) done_.notify_one();
}

void FolderSource::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (!queue_.empty() && waiting_ < budget_); });
        if (stopping_) return;
        runNext(lock);
    }
}

}  // namespace scan
