#include "core/Clock.h"

#include <chrono>
#include <numeric>
#include <thread>

namespace flashtool {

void SystemClock::SleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void FakeClock::SleepMs(uint32_t milliseconds) {
    std::lock_guard lock(mutex);
    sleeps.push_back(milliseconds);
}

std::vector<uint32_t> FakeClock::Sleeps() const {
    std::lock_guard lock(mutex);
    return sleeps;
}

uint64_t FakeClock::TotalMs() const {
    std::lock_guard lock(mutex);
    return std::accumulate(sleeps.begin(), sleeps.end(), uint64_t{0});
}

}  // namespace flashtool
