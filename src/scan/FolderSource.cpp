#include "scan/FolderSource.h"

#include <algorithm>
#include <exception>

namespace scan {

struct FolderSource::Task {
    enum State { Queued, Running, Done, Taken };
    QByteArray relative;
    State state = Queued;
    FolderListing result;
    size_t entries = 0;
};

bool NameBefore(const platform::DirListing::Sub& a, const platform::DirListing::Sub& b) {
    const int c = a.name.compare(b.name, Qt::CaseInsensitive);
    if (c != 0) return c < 0;
    return a.nativeName < b.nativeName;
}

FolderSource::FolderSource(const QByteArray& nativeRoot, int threads, size_t budget)
    : reader_(nativeRoot), budget_(budget) {
    if (!reader_.valid()) return;
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
}

FolderListing FolderSource::list(const QByteArray& relative) {
    platform::DirListing raw;
    reader_.read(relative, raw, &cancel_);
    FolderListing out;
    out.ok = raw.ok;
    out.error = raw.error;
    out.fileSizes = std::move(raw.fileSizes);
    out.subs.reserve(raw.dirs.size());
    for (auto& sub : raw.dirs) {
        // "." and ".." never come; names beginning with "}" are neither listed nor entered.
        if (sub.nativeName.startsWith('}')) continue;
        out.subs.push_back(std::move(sub));
    }
    std::sort(out.subs.begin(), out.subs.end(), NameBefore);
    return out;
}

std::vector<FolderSource::TaskRef> FolderSource::announce(std::vector<QByteArray> relatives) {
    std::vector<TaskRef> tasks;
    tasks.reserve(relatives.size());
    for (QByteArray& r : relatives) {
        auto t = std::make_shared<Task>();
        t->relative = std::move(r);
        tasks.push_back(std::move(t));
    }
    if (!workers_.empty() && !tasks.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            for (const TaskRef& t : tasks) queue_.push_back(t);
            wake_.notify_all();
        }
    }
    return tasks;
}

FolderListing FolderSource::readNow(const QByteArray& relative) {
    return list(relative);
}

FolderListing FolderSource::take(const TaskRef& task) {
    if (workers_.empty()) {
        task->state = Task::Taken;
        return list(task->relative);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (task->state == Task::Queued) {
        // No worker has it: reading it here is quicker than waiting.
        task->state = Task::Running;
        lock.unlock();
        FolderListing result = list(task->relative);
        lock.lock();
        task->state = Task::Taken;
        return result;
    }
    awaited_ = task.get();
    done_.wait(lock, [&] { return task->state == Task::Done || stopping_; });
    awaited_ = nullptr;
    if (task->state != Task::Done) return {};
    task->state = Task::Taken;
    // Workers held back by the budget may go on.
    const bool wasFull = waiting_ >= budget_;
    waiting_ -= task->entries;
    if (wasFull && waiting_ < budget_) wake_.notify_all();
    return std::move(task->result);
}

void FolderSource::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (!queue_.empty() && waiting_ < budget_); });
        if (stopping_) return;
        TaskRef t = std::move(queue_.front());
        queue_.pop_front();
        if (t->state != Task::Queued) continue;  // the scan took it itself
        t->state = Task::Running;
        lock.unlock();
        FolderListing result;
        try {
            result = list(t->relative);
        } catch (const std::exception&) {
            // Out of memory: the folder counts as unreadable, the scan goes on.
            result = FolderListing();
        }
        lock.lock();
        t->result = std::move(result);
        t->entries = t->result.fileSizes.size() + t->result.subs.size() + 1;
        t->state = Task::Done;
        waiting_ += t->entries;
        peakWaiting_ = std::max(peakWaiting_, waiting_);
        if (awaited_ == t.get()) done_.notify_one();
    }
}

}  // namespace scan
