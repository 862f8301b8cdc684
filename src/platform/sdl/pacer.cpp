// 60 Hz from the clock: drift-free deadlines and a precise, mostly sleeping wait.
#include "platform/sdl/pacer.h"

#include <chrono>
#include <thread>

namespace platform::sdl {

void FramePacer::start(Nanos now) {
    started_ = true;
    origin_ = now;
    passes_ = 0;
}

FramePacer::Nanos FramePacer::nextDeadline(Nanos now) {
    if (!started_) start(now - kSecond / rate_);  // as if the pass just shown had started on time
    ++passes_;
    Nanos due = deadline(passes_);
    if (now - due > kSecond / rate_) {
        // More than a whole period behind: start a new schedule from here.
        ++restarts_;
        start(now);
        return now;
    }
    return due;
}

FramePacer::Nanos monotonicNow() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void waitUntil(FramePacer::Nanos deadline) {
    using std::chrono::nanoseconds;
    // The scheduler may wake a sleeper late by tens of microseconds: sleep the bulk
    // away, then close in with ever shorter sleeps and finally yields.
    constexpr FramePacer::Nanos kCoarseMargin = 1'000'000;  // 1 ms
    constexpr FramePacer::Nanos kFineMargin = 150'000;      // 0.15 ms
    for (;;) {
        FramePacer::Nanos remaining = deadline - monotonicNow();
        if (remaining <= 0) return;
        if (remaining > kCoarseMargin) {
            std::this_thread::sleep_for(nanoseconds(remaining - kCoarseMargin));
        } else if (remaining > kFineMargin) {
            std::this_thread::sleep_for(nanoseconds(remaining / 2));
        } else {
            std::this_thread::yield();
        }
    }
}

}  // namespace platform::sdl
