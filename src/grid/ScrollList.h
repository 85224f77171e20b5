#pragma once
// The grid's scroll position as a list of one empty item per row: item count, items per
// page, top index and caret. The widget layer shows it as a real scroll bar (range
// count - page, page step page, value top index) and feeds the user's moves back.
#include <functional>

namespace grid {

class ScrollList {
  public:
    int count() const { return count_; }
    void setCount(int n);
    // Items per page: the list's height in pixels over its item height.
    int page() const;
    int itemHeight() const { return itemHeight_; }
    void setItemHeight(int h);
    int heightPx() const { return heightPx_; }

    int topIndex() const { return top_; }
    // Like a list box: limited to 0..count - page. True when the top index is now t.
    bool setTopIndex(int t);
    int caret() const { return caret_; }
    // Moves the caret and scrolls it into view.
    void setCaret(int c);

    bool visible() const { return visible_; }
    void setVisible(bool v);
    int widthTwips() const { return widthTwips_; }
    void setWidthTwips(int w) { widthTwips_ = w; }
    // Place in the window, in twips.
    int leftTwips = 0;
    int topTwips = 0;
    void place(int left, int top, int heightPixels);

    void takeFocus();

    // The user moved the scroll bar: the top index as the list box would report it.
    void userScroll(int t);

    // Called after every change made by the engine (the widget follows).
    std::function<void()> onChanged;
    // Called when the list wants the keyboard focus.
    std::function<void()> onFocus;

  private:
    int maxTop() const;
    void changed() {
        if (onChanged) onChanged();
    }

    int count_ = 0;
    int itemHeight_ = 16;
    int heightPx_ = 0;
    int top_ = 0;
    int caret_ = 0;
    bool visible_ = true;
    int widthTwips_ = 17 * 15;
};

}  // namespace grid
