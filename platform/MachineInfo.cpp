#include "platform/MachineInfo.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

int RoundClockRate(int mhz) {
    static constexpr std::array<int, 9> kSteps = {0, 20, 33, 50, 60, 66, 80, 90, 100};
    const int rest = mhz % 100;
    const int base = mhz - rest;
    for (size_t i = 1; i < kSteps.size(); ++i) {
        if (kSteps[i] <= rest) continue;
        const int below = kSteps[i - 1], above = kSteps[i];
        return base + (rest - below < above - rest ? below : above);
    }
    return mhz;  // a negative rate has nothing to snap to
}

// The time-stamp counter over a short interval; 0 where there is none. Every
// run waits for it before the installation starts, so the interval is kept
// short: 10 ms still puts the rate within a few parts per million, far below
// the rounding to the next step.
int MeasureClockMHz() {
#if defined(__x86_64__) || defined(__i386__)
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    const uint64_t c0 = __rdtsc();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const uint64_t c1 = __rdtsc();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - t0).count();
    return us > 0 ? static_cast<int>((c1 - c0) / static_cast<uint64_t>(us)) : 0;
#else
    return 0;
#endif
}
