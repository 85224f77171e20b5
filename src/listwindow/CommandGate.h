#pragma once
// The one busy state of a list window, as one mode. Every way into a command (keys, clicks
// on the strips, toolbar, drive buttons and labels, menus, the destination list, other
// windows) asks admit() before it changes anything; a command holds the gate while it runs,
// so input that arrives while it lets events run (a scan's event turns, a delete, copy,
// move or print, a dialog) is refused with a beep instead of half-running.
//
// Holds nest (a command lists a drive, the scan shows a message box); the mode is the
// innermost one, or Closing once the window was closed. A closed window is let go exactly
// once, when the last hold has been released, so nothing on the stack outlives it.
#include <functional>
#include <vector>

#include "platform/Beep.h"

namespace listwindow {

class CommandGate {
  public:
    enum class Mode {
        Idle,       // free for the next command
        Command,    // a command runs; the controls stay as they are
        Listing,    // a drive is being listed; the controls are locked
        Operating,  // a delete, copy or move runs; the controls are locked
        InDialog,   // a dialog of the window waits for its answer
        Closing,    // closed: the window goes once nothing holds it any more
    };

    // onModeChanged follows every change of mode; onRelease lets the closed window go.
    CommandGate(std::function<void()> onModeChanged, std::function<void()> onRelease)
        : onModeChanged_(std::move(onModeChanged)), onRelease_(std::move(onRelease)) {}
    CommandGate(const CommandGate&) = delete;
    CommandGate& operator=(const CommandGate&) = delete;

    Mode mode() const {
        if (closing_) return Mode::Closing;
        return holds_.empty() ? Mode::Idle : holds_.back();
    }
    bool busy() const { return mode() != Mode::Idle; }
    bool closing() const { return closing_; }
    // A scan is on the stack, under whatever runs above it.
    bool listing() const { return holding(Mode::Listing); }
    // The controls are locked while a drive is listed or an operation runs, also while a
    // message box of either waits.
    bool controlsLocked() const {
        return !closing_ && (holding(Mode::Listing) || holding(Mode::Operating));
    }

    // True when a command may start now; a beep when the window is busy.
    bool admit() {
        if (!busy()) return true;
        platform::Beep();
        return false;
    }

    // The window was closed: it is let go now when nothing holds it, else when the last
    // hold is released. A second close changes nothing.
    void close() {
        if (closing_) return;
        closing_ = true;
        changed();
        releaseIfDone();
    }

    // Holds the gate in a mode for as long as it lives.
    class Hold {
      public:
        explicit Hold(CommandGate& gate, Mode mode = Mode::Command) : gate_(gate) {
            gate_.holds_.push_back(mode);
            gate_.changed();
        }
        ~Hold() {
            gate_.holds_.pop_back();
            gate_.changed();
            gate_.releaseIfDone();
        }
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
    bool holding(Mode m) const {
        for (const Mode h : holds_)
            if (h == m) return true;
        return false;
    }
    void changed() {
        if (onModeChanged_) onModeChanged_();
    }
    void releaseIfDone() {
        if (!closing_ || !holds_.empty() || released_) return;
        released_ = true;
        if (onRelease_) onRelease_();
    }

    std::vector<Mode> holds_;
    bool closing_ = false;
    bool released_ = false;
    std::function<void()> onModeChanged_;
    std::function<void()> onRelease_;
};

}  // namespace listwindow
