#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/console_break.h"

namespace {

std::atomic<int> g_stage{0};  // 1: in the handler, 2: clearing, 3: cleared
std::atomic<bool> g_clearedWhileRunning{false};

// Ctrl+C arrives on a thread of the console's own. Once the handler is cleared, the transfer it
// was given may go, so the clearing must wait for a call under way; the handler lingers to give a
// clearing that does not wait the time to return.
TEST(ConsoleBreakSlot, ClearingWaitsForTheCallUnderWay) {
    ConsoleBreakSlot slot;
    slot.set(
        [](void*) {
            g_stage = 1;
            while (g_stage < 2) std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            g_clearedWhileRunning = g_stage == 3;
        },
        nullptr);
    std::thread console([&] { EXPECT_TRUE(slot.deliver()); });
    while (g_stage < 1) std::this_thread::yield();
    g_stage = 2;
    slot.clear();
    g_stage = 3;
    console.join();
    EXPECT_FALSE(g_clearedWhileRunning);
    EXPECT_FALSE(slot.deliver());
}

}  // namespace
