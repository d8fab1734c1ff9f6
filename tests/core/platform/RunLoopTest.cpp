// The poll-based run loop: delayed calls, watches, posts from other threads,
// modal waits and release at the end of an event.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "base/FileHandles.h"
#include "platform/PollRunLoop.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(RunLoopTest, DelayedCallsRunInDueOrderAndCancelledOnesNever) {
    PollRunLoop loop;
    std::string order;
    loop.performAfter(30ms, [&] { order += "b"; });
    auto doomed = loop.performAfter(10ms, [&] { order += "x"; });
    loop.performAfter(5ms, [&] { order += "a"; });
    loop.cancel(doomed);
    loop.cancel(doomed);  // a second cancel is harmless
    EXPECT_TRUE(loop.runUntil([&] { return order.size() == 2; }, 2s));
    loop.runUntil([] { return false; }, 40ms);
    EXPECT_EQ(order, "ab");
}

TEST(RunLoopTest, AWatchFiresWhenItsDescriptorIsReadableUntilUnwatched) {
    PollRunLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    UniqueFd r(fds[0]), w(fds[1]);
    int fired = 0;
    RunLoop::Id id = loop.watchReadable(r.get(), [&] {
        char c;
        ASSERT_EQ(::read(r.get(), &c, 1), 1);
        ++fired;
    });
    loop.performAfter(10ms, [&] { ASSERT_TRUE(writeAll(w.get(), "z")); });
    EXPECT_TRUE(loop.runUntil([&] { return fired == 1; }, 2s));
    loop.unwatch(id);
    ASSERT_TRUE(writeAll(w.get(), "z"));
    loop.runUntil([] { return false; }, 30ms);
    EXPECT_EQ(fired, 1);
}

TEST(RunLoopTest, PostsFromOtherThreadsRunOnTheLoopThread) {
    PollRunLoop loop;
    std::thread::id ranOn;
    int count = 0;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            loop.post([&] {
                ++count;
                ranOn = std::this_thread::get_id();
            });
    });
    EXPECT_TRUE(loop.runUntil([&] { return count == 100; }, 5s));
    poster.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(RunLoopTest, ANestedModalWaitStillServesWatchesAndTimers) {
    PollRunLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    UniqueFd r(fds[0]), w(fds[1]);
    bool watched = false, inner = false;
    loop.watchReadable(r.get(), [&] {
        char c;
        [[maybe_unused]] auto n = ::read(r.get(), &c, 1);
        watched = true;
    });
    loop.performAfter(1ms, [&] {
        loop.performAfter(5ms, [&] { ASSERT_TRUE(writeAll(w.get(), "k")); });
        inner = loop.runUntil([&] { return watched; }, 2s);
    });
    EXPECT_TRUE(loop.runUntil([&] { return inner; }, 3s));
}

TEST(RunLoopTest, ReleasedObjectsLiveUntilTheirEventEnds) {
    PollRunLoop loop;
    std::weak_ptr<int> weak;
    bool aliveAtEndOfCallback = false;
    loop.post([&] {
        auto obj = std::make_shared<int>(7);
        weak = obj;
        loop.releaseLater(obj);
        obj.reset();
        aliveAtEndOfCallback = !weak.expired();
    });
    loop.runUntil([&] { return aliveAtEndOfCallback; }, 2s);
    EXPECT_TRUE(aliveAtEndOfCallback);
    EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace quill
