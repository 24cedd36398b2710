// Time that moves only when a test moves it. A thread that sleeps on the clock waits until the
// test has advanced it to that thread's wake time, so a window test can hold a transfer between
// two drive calls, look at the window, and let it go on: no real delays, no sampling races.
#ifndef TOLVEN_TESTS_SUPPORT_FAKE_CLOCK_H
#define TOLVEN_TESTS_SUPPORT_FAKE_CLOCK_H

#include <condition_variable>
#include <cstdint>
#include <mutex>

class FakeClock {
public:
    // Waits until the clock has moved `microseconds` on from now (at once while running freely).
    void sleepFor(int64_t microseconds);
    // Waits (up to `timeoutMs` of real time) until a thread sleeps on the clock and has not been
    // woken yet; false if none did.
    bool waitForSleeper(int timeoutMs);
    // Moves the clock on and wakes every sleeper whose time has come.
    void advance(int64_t microseconds);
    // From now on sleeps return at once: the test has seen what it wanted.
    void runFreely();
    int64_t now() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int64_t now_ = 0;
    int sleepers_ = 0;
    int64_t latestWake_ = 0;
    bool free_ = false;
};

#endif
