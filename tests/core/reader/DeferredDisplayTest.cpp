// The display that waits for keys to stop: moves coalesce, a command
// settles it at once, and nothing shows after it was cancelled or destroyed.
#include <gtest/gtest.h>

#include <memory>

#include "platform/PollRunLoop.h"
#include "reader/DeferredDisplay.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(DeferredDisplayTest, MovesCoalesceAndSettlingShowsOnce) {
    struct Case {
        const char* name;
        // r restart, c cancel, s settle, w wait past the delay, d destroy
        const char* script;
        int shows;
        bool settled;  // what the last settle answered
    };
    const Case cases[] = {
        {"a held key shows once, after the last move", "rrrw", 1, false},
        {"a command settles at once and nothing follows", "rrsw", 1, true},
        {"settling with nothing waiting shows nothing", "rwsw", 1, false},
        {"a cancelled wait never shows", "rrcw", 0, false},
        {"a move after a settle waits again", "rsrw", 2, true},
        {"a window closed while waiting shows nothing", "rdw", 0, false},
    };
    for (const Case& c : cases) {
        PollRunLoop loop;
        int shows = 0;
        bool settled = false;
        auto display = std::make_unique<DeferredDisplay>(
            loop, [&] { ++shows; }, 5ms);
        for (const char* step = c.script; *step; ++step) {
            switch (*step) {
                case 'r':
                    display->restart();
                    EXPECT_TRUE(display->waiting()) << c.name;
                    break;
                case 'c':
                    display->cancel();
                    break;
                case 's':
                    settled = display->settle();
                    EXPECT_FALSE(display->waiting()) << c.name;
                    break;
                case 'd':
                    display.reset();
                    break;
                case 'w':
                    loop.runUntil([] { return false; }, 20ms);
                    break;
            }
        }
        EXPECT_EQ(shows, c.shows) << c.name;
        EXPECT_EQ(settled, c.settled) << c.name;
    }
}

}  // namespace
}  // namespace quill
