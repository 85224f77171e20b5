#include "scan/FolderWalk.h"

#include <QHash>
#include <cerrno>
#include <set>
#include <utility>

#include "platform/DriveCatalog.h"
#include "scan/FolderSource.h"

namespace scan {
namespace {

// The mount points below the root as a tree of names, so that each folder is checked by
// one look-up in its parent's node instead of by its whole path.
class MountTree {
  public:
    explicit MountTree(const QByteArray& nativeRoot) {
        nodes_.emplace_back();
        for (const QByteArray& relative : platform::MountPointsBelow(nativeRoot)) {
            int at = 0;
            for (const QByteArray& name : relative.split('/')) {
                if (name.isEmpty()) continue;
                auto it = nodes_[size_t(at)].children.constFind(name);
                if (it == nodes_[size_t(at)].children.constEnd()) {
                    nodes_.emplace_back();
                    nodes_[size_t(at)].children.insert(name, int(nodes_.size() - 1));
                    at = int(nodes_.size() - 1);
                } else {
                    at = *it;
                }
            }
            nodes_[size_t(at)].mountPoint = true;
        }
    }
    // The node of a subfolder (-1: no mount point lies at or below it).
    int child(int node, const QByteArray& name) const {
        if (node < 0) return -1;
        const auto& children = nodes_[size_t(node)].children;
        const auto it = children.constFind(name);
        return it == children.constEnd() ? -1 : *it;
    }
    bool mountPoint(int node) const { return node >= 0 && nodes_[size_t(node)].mountPoint; }

  private:
    struct Node {
        QHash<QByteArray, int> children;
        bool mountPoint = false;
    };
    std::vector<Node> nodes_;
};

struct Frame {
    std::vector<platform::DirListing::Sub> subs;
    std::vector<FolderSource::TaskRef> tasks;
    size_t next = 0;
    std::pair<quint64, quint64> key;
    int mountNode = -1;
};

void TakeFiles(FolderListing& listing, WalkedFolder& out) {
    out.fileSizes = std::move(listing.fileSizes);
    out.fileAlloc = std::move(listing.fileAlloc);
    out.linked = std::move(listing.linked);
    out.ownAlloc = listing.ownAlloc;
    out.files = std::move(listing.files);
    out.leftOut = std::move(listing.leftOut);
}

void StateOf(const FolderListing& listing, WalkedFolder& out) {
    out.error = listing.error;
    if (listing.ok) {
        out.state = listing.error == 0 ? kFolderRead : kFolderUnreadable;
        return;
    }
    switch (listing.error) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:  // replaced by a link since it was listed
            out.state = kFolderVanished;
            break;
        case EXDEV:
            out.state = kFolderNotEntered;
            break;
        default:
            out.state = kFolderUnreadable;
            if (out.error == 0) out.error = EIO;
    }
}

}  // namespace

WalkResult WalkFolders(const QByteArray& nativeRoot, const QString& rootName, int threads,
                       FolderSink& sink) {
    WalkResult result;
    // Listings with detail are larger: fewer of them wait for the walk.
    const bool detail = sink.wantsFiles();
    FolderSource source(nativeRoot, nativeRoot.isEmpty() ? 0 : threads,
                        detail ? FolderSource::kBudget / 4 : FolderSource::kBudget, detail);
    const MountTree mounts(nativeRoot);
    // The folders of the path being walked, by device and inode: none is entered twice.
    std::set<std::pair<quint64, quint64>> ancestors;
    std::vector<Frame> stack;

    WalkedFolder folder;
    folder.name = rootName;
    folder.nativeName = nativeRoot;
    FolderListing top;
    FolderSource::TaskRef rootTask;
    if (source.valid()) {
        rootTask = source.root(top);
        result.rootError = top.ok ? 0 : top.error;
        StateOf(top, folder);
    } else {
        result.rootError = source.error() ? source.error() : -1;
        folder.state = kFolderUnreadable;
        folder.error = source.error();
    }
    TakeFiles(top, folder);
    folder.device = source.rootDevice();
    folder.inode = source.rootInode();
    folder.subfolders = top.subs.size();
    if (!sink.enter(folder)) return result;
    Frame root;
    root.key = {source.rootDevice(), source.rootInode()};
    root.subs = std::move(top.subs);
    if (rootTask) root.tasks = source.children(rootTask);
    root.mountNode = 0;
    ancestors.insert(root.key);
    stack.push_back(std::move(root));

    while (!stack.empty()) {
        Frame& parent = stack.back();
        if (parent.next >= parent.subs.size()) {
            ancestors.erase(parent.key);
            stack.pop_back();
            if (!sink.leave()) break;
            continue;
        }
        const size_t i = parent.next++;
        platform::DirListing::Sub& sub = parent.subs[i];
        const FolderSource::TaskRef task =
            i < parent.tasks.size() ? std::move(parent.tasks[i]) : FolderSource::TaskRef();
        const int mountNode = mounts.child(parent.mountNode, sub.nativeName);

        folder = WalkedFolder();
        folder.name = std::move(sub.name);
        folder.nativeName = std::move(sub.nativeName);
        folder.level = int(stack.size());
        Frame child;
        child.mountNode = mountNode;
        if (!task || mounts.mountPoint(mountNode)) {
            if (task) source.skip(task);
            folder.state = kFolderNotEntered;
            folder.error = EXDEV;
        } else {
            FolderListing listing = source.take(task);
            const std::pair<quint64, quint64> key{listing.device, listing.inode};
            if (listing.ok && ancestors.count(key)) {
                // The same folder as one it lies in: listed, never walked again.
                listing = FolderListing();
                listing.error = ELOOP;
                folder.state = kFolderNotEntered;
                folder.error = ELOOP;
                source.children(task);
            } else {
                child.key = key;
                StateOf(listing, folder);
                TakeFiles(listing, folder);
                folder.device = listing.device;
                folder.inode = listing.inode;
                child.subs = std::move(listing.subs);
                child.tasks = source.children(task);
            }
        }
        folder.subfolders = child.subs.size();
        if (!sink.enter(folder)) break;
        ancestors.insert(child.key);
        stack.push_back(std::move(child));
    }
    source.stop();
    return result;
}

}  // namespace scan
