#include "platform/MachineInfo.h"

#include <array>

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
