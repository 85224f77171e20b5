#include "grid/ScrollList.h"

#include <algorithm>

namespace grid {

void ScrollList::setCount(int n) {
    count_ = std::max(0, n);
    top_ = std::clamp(top_, 0, maxTop());
    caret_ = std::clamp(caret_, 0, std::max(0, count_ - 1));
    changed();
}

int ScrollList::page() const {
    return itemHeight_ > 0 ? std::max(1, heightPx_ / itemHeight_) : 1;
}

void ScrollList::setItemHeight(int h) {
    itemHeight_ = std::max(1, h);
    top_ = std::clamp(top_, 0, maxTop());
    changed();
}

int ScrollList::maxTop() const {
    return std::max(0, count_ - page());
}

bool ScrollList::setTopIndex(int t) {
    top_ = std::clamp(t, 0, maxTop());
    changed();
    return top_ == t;
}

void ScrollList::setCaret(int c) {
    if (count_ <= 0) return;
    caret_ = std::clamp(c, 0, count_ - 1);
    if (caret_ < top_) {
        top_ = caret_;
    } else if (caret_ >= top_ + page()) {
        top_ = std::clamp(caret_ - page() + 1, 0, maxTop());
    }
    changed();
}

void ScrollList::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    changed();
}

void ScrollList::place(int left, int top, int heightPixels) {
    leftTwips = left;
    topTwips = top;
    heightPx_ = std::max(0, heightPixels);
    top_ = std::clamp(top_, 0, maxTop());
    changed();
}

void ScrollList::takeFocus() {
    if (onFocus) onFocus();
}

void ScrollList::userScroll(int t) {
    top_ = std::clamp(t, 0, maxTop());
}

}  // namespace grid
