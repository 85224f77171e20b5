#include "folderops/SubtreeWalk.h"

#include <algorithm>

namespace folderops {

ListedChildren::ListedChildren(const scan::FolderTable& t) : t_(t), next_(size_t(t.bound()), -1) {
    std::vector<qint32> last(size_t(t.bound()), -1);
    for (int r = 1; r < t.bound(); ++r) {
        const int p = t.Parent[size_t(r)];
        if (p < 0 || p >= r) continue;  // not a tree record (the total row's)
        if (last[size_t(p)] >= 0) next_[size_t(last[size_t(p)])] = r;
        last[size_t(p)] = r;
    }
}

QHash<QByteArray, int> ListedChildren::Of(int r) const {
    QHash<QByteArray, int> out;
    if (r < 0 || r + 1 >= t_.bound() || t_.Parent[size_t(r + 1)] != r) return out;
    for (int c = r + 1; c >= 0; c = next_[size_t(c)]) out.insert(t_.native(c), c);
    return out;
}

SubtreeWalk::SubtreeWalk(const ListedChildren& children, QString base, int record)
    : children_(children), base_(std::move(base)) {
    Level& top = levels_.emplace_back();
    top.record = record;
    top.listed = children_.Of(record);
}

SubtreeWalk::Level& SubtreeWalk::Push(const platform::DirEntry& e, const platform::Identity& id,
                                      int record) {
    Level& level = levels_.emplace_back();
    level.id = id;
    level.native = e.nativeName;
    level.name = e.name;
    level.record = record;
    if (record >= 0) level.listed = children_.Of(record);
    return level;
}

SubtreeWalk::Level SubtreeWalk::Pop() {
    Level level = std::move(levels_.back());
    levels_.pop_back();
    return level;
}

int SubtreeWalk::ListedChild(const QByteArray& native) const {
    return levels_.back().listed.value(native, -1);
}

QString SubtreeWalk::Path() const {
    QString path = base_;
    for (size_t i = 1; i < levels_.size(); ++i) {
        if (!path.endsWith(u'\\')) path += u'\\';
        path += levels_[i].name;
    }
    return path;
}

QString SubtreeWalk::PathOf(const QString& name) const {
    const QString path = Path();
    return path.endsWith(u'\\') ? path + name : path + u'\\' + name;
}

}  // namespace folderops
