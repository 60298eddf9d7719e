#pragma once

// Every pause of the program goes through this seam, so that tests never wait on the
// real clock: they hand in a FakeClock, which records each pause and returns at once.

#include <cstdint>
#include <mutex>
#include <vector>

namespace flashtool {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void SleepMs(uint32_t milliseconds) = 0;
};

class SystemClock final : public Clock {
public:
    void SleepMs(uint32_t milliseconds) override;
};

// Records the pauses asked for; thread-safe, since the flash worker pauses too.
class FakeClock final : public Clock {
public:
    void SleepMs(uint32_t milliseconds) override;
    std::vector<uint32_t> Sleeps() const;
    uint64_t TotalMs() const;

private:
    mutable std::mutex mutex;
    std::vector<uint32_t> sleeps;
};

}  // namespace flashtool
