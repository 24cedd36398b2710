#include "tests/support/fake_clock.h"

#include <chrono>

void FakeClock::sleepFor(int64_t microseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    int64_t wake = now_ + microseconds;
    ++sleepers_;
    if (wake > latestWake_) latestWake_ = wake;
    changed_.notify_all();
    changed_.wait(lock, [&] { return free_ || now_ >= wake; });
    --sleepers_;
}

bool FakeClock::waitForSleeper(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return sleepers_ > 0 && latestWake_ > now_; });
}

void FakeClock::advance(int64_t microseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += microseconds;
    changed_.notify_all();
}

void FakeClock::runFreely() {
    std::lock_guard<std::mutex> lock(mutex_);
    free_ = true;
    changed_.notify_all();
}

int64_t FakeClock::now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}
