#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/console_break.h"

namespace {

struct Handler {
    std::atomic<bool> entered{false};
    std::atomic<bool> clearing{false};
    std::atomic<bool> cleared{false};
    std::atomic<bool> clearedWhileRunning{false};
};

// Ctrl+C arrives on a thread of the console's own. Once the handler is cleared, the transfer's
// image it was given may go, so the clearing must wait for a call that is under way; the handler
// lingers a little to give a clearing that does not wait the time to return.
TEST(ConsoleBreakSlot, ClearingWaitsForTheCallUnderWay) {
    ConsoleBreakSlot slot;
    Handler handler;
    slot.set(
        [](void* context) {
            Handler* h = static_cast<Handler*>(context);
            h->entered = true;
            while (!h->clearing) std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            h->clearedWhileRunning = h->cleared.load();
        },
        &handler);
    std::thread console([&] { EXPECT_TRUE(slot.deliver()); });
    while (!handler.entered) std::this_thread::yield();
    handler.clearing = true;
    slot.clear();
    handler.cleared = true;
    console.join();
    EXPECT_FALSE(handler.clearedWhileRunning);
    EXPECT_FALSE(slot.deliver());
}

}  // namespace
