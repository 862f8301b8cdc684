// Paces the frame loop at 60 passes a second from the clock, whatever the
// display's refresh rate (or when there is none).
//
// Deadlines are whole multiples of the period after a fixed origin, computed
// afresh each time, so rounding never accumulates into drift. A pass that ends a
// little late simply skips its wait; one that ends more than a period late moves
// the origin to now, so a slow stretch slows the game down instead of being made
// up later by a burst of passes.
#pragma once

#include <cstdint>

namespace platform::sdl {

class FramePacer {
public:
    using Nanos = std::int64_t;
    static constexpr Nanos kSecond = 1'000'000'000;

    explicit FramePacer(int passesPerSecond = 60) : rate_(passesPerSecond) {}

    // The moment the first pass starts.
    void start(Nanos now);
    // Called when a pass has been shown: the moment the next pass may start
    // (never before now when behind).
    Nanos nextDeadline(Nanos now);
    // Moves every later deadline by `by`: the game runs a little slower for a while.
    void postpone(Nanos by) { origin_ += by; }
    // How often the schedule was moved because the loop fell behind.
    std::int64_t restarts() const { return restarts_; }

private:
    Nanos deadline(std::int64_t pass) const { return origin_ + pass * kSecond / rate_; }

    int rate_;
    bool started_ = false;
    Nanos origin_ = 0;
    std::int64_t passes_ = 0;
    std::int64_t restarts_ = 0;
};

// The monotonic clock in nanoseconds.
FramePacer::Nanos monotonicNow();

// Sleeps until shortly before the deadline, then waits out the rest in short
// steps, so the wake-up is precise without spinning for a whole frame.
void waitUntil(FramePacer::Nanos deadline);

}  // namespace platform::sdl
