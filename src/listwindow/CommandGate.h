#pragma once
// The one busy state of a list window. Every way into a command (keys, clicks on the
// strips, toolbar, drive buttons and labels, menus, the destination list, other windows)
// asks admit() before it changes anything; a command holds the gate while it runs, so
// input that arrives while it lets events run (a scan's event turns, later a delete, copy,
// move or print) is refused with a beep instead of half-running.
#include "platform/Beep.h"

namespace listwindow {

class CommandGate {
  public:
    bool busy() const { return depth_ > 0; }

    // True when a command may start now; a beep when the window is busy.
    bool admit() {
        if (!busy()) return true;
        platform::Beep();
        return false;
    }

    // Marks the window busy for as long as it lives.
    class Hold {
      public:
        explicit Hold(CommandGate& gate) : gate_(gate) { ++gate_.depth_; }
        ~Hold() { --gate_.depth_; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        CommandGate& gate_;
    };

    // Runs f as one command when the window is free; returns false (after a beep) when not.
    template <typename F>
    bool run(F&& f) {
        if (!admit()) return false;
        Hold hold(*this);
        f();
        return true;
    }

  private:
    int depth_ = 0;
};

}  // namespace listwindow
