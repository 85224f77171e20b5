// The command gate: one mode for the window's busy state, and the one place that lets a
// closed window go.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "listwindow/CommandGate.h"
#include "platform/Beep.h"

using listwindow::CommandGate;
using Mode = CommandGate::Mode;

namespace {

TEST(CommandGate, TheModeIsTheInnermostHoldAndOnlyAListingOrAnOperationLocks) {
    struct Case {
        std::vector<Mode> holds;
        Mode mode;
        bool locked;
    };
    const Case cases[] = {
        {{}, Mode::Idle, false},
        {{Mode::Command}, Mode::Command, false},
        {{Mode::Command, Mode::InDialog}, Mode::InDialog, false},
        {{Mode::Command, Mode::Listing}, Mode::Listing, true},
        {{Mode::Command, Mode::Listing, Mode::InDialog}, Mode::InDialog, true},  // a scan's box
        {{Mode::Command, Mode::Operating}, Mode::Operating, true},
        {{Mode::Command, Mode::Operating, Mode::InDialog}, Mode::InDialog, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.holds.size()));
        int followed = 0;
        CommandGate gate([&] { ++followed; }, [] { FAIL() << "an open window was let go"; });
        {
            std::vector<std::unique_ptr<CommandGate::Hold>> holds;
            for (const Mode m : c.holds)
                holds.push_back(std::make_unique<CommandGate::Hold>(gate, m));
            EXPECT_EQ(gate.mode(), c.mode);
            EXPECT_EQ(gate.controlsLocked(), c.locked);
            EXPECT_EQ(gate.listing(),
                      std::find(c.holds.begin(), c.holds.end(), Mode::Listing) != c.holds.end());
            platform::ResetBeepCount();
            bool ran = false;
            EXPECT_EQ(gate.run([&] { ran = true; }), c.holds.empty());
            EXPECT_EQ(ran, c.holds.empty());
            EXPECT_EQ(platform::BeepCount(), c.holds.empty() ? 0 : 1);
            while (!holds.empty()) holds.pop_back();
        }
        EXPECT_EQ(gate.mode(), Mode::Idle);
        EXPECT_FALSE(gate.controlsLocked());
        EXPECT_GE(followed, 2 * int(c.holds.size()));
    }
}

TEST(CommandGate, AClosedWindowIsLetGoOnceWhenTheLastHoldHasEnded) {
    for (const int depth : {0, 1, 3}) {
        SCOPED_TRACE(depth);
        int released = 0;
        CommandGate gate([] {}, [&] { ++released; });
        std::vector<std::unique_ptr<CommandGate::Hold>> holds;
        for (int i = 0; i < depth; ++i)
            holds.push_back(
                std::make_unique<CommandGate::Hold>(gate, i == 1 ? Mode::Listing : Mode::Command));
        gate.close();
        gate.close();  // a second close changes nothing
        EXPECT_EQ(gate.mode(), Mode::Closing);
        EXPECT_FALSE(gate.controlsLocked());  // a closed window keeps no hourglass
        EXPECT_EQ(released, depth == 0 ? 1 : 0);
        platform::ResetBeepCount();
        EXPECT_FALSE(gate.admit());
        while (!holds.empty()) {
            EXPECT_EQ(released, depth == 0 ? 1 : 0);
            holds.pop_back();
        }
        EXPECT_EQ(released, 1);
        // A command a closed window still meets (a timer's) is refused and lets it go no more.
        EXPECT_FALSE(gate.run([] { FAIL() << "ran after the close"; }));
        EXPECT_EQ(released, 1);
    }
}

}  // namespace
