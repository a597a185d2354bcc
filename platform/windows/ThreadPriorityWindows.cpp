#include <windows.h>

#include <algorithm>
#include <array>

#include "platform/ThreadPriority.h"

namespace {

// Windows has a handful of levels where Linux has 40 nice values; five nice
// steps count as one level, as a nice value of 5 makes a thread yield to its
// normal peers about as much as one level below normal does.
constexpr int kNiceStepsPerLevel = 5;

// The levels a thread may have, from the highest down.
constexpr std::array<int, 7> kLevels = {
    THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_BELOW_NORMAL,  THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_IDLE};

int LoweredLevel(int nCurrent, int nSteps) {
    // A value between the named ones (set by someone else) counts as the next named one below it.
    auto it = std::find_if(kLevels.begin(), kLevels.end(), [nCurrent](int level) { return level <= nCurrent; });
    const auto nIndex = static_cast<int>(it - kLevels.begin());
    const int nLevelsDown = (nSteps + kNiceStepsPerLevel - 1) / kNiceStepsPerLevel;
    return kLevels[static_cast<size_t>(std::min(nIndex + nLevelsDown, static_cast<int>(kLevels.size()) - 1))];
}

}  // namespace

TThreadId CurrentThreadId() noexcept { return GetCurrentThreadId(); }

void LowerThreadPriority(TThreadId tid, int nSteps) noexcept {
    if (nSteps <= 0) return;
    // The full rights, not the limited ones: Wine refuses a priority change
    // through a handle that has only THREAD_SET_LIMITED_INFORMATION, and a
    // process holds every right to its own threads anyway.
    HANDLE hThread = OpenThread(THREAD_QUERY_INFORMATION | THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(tid));
    if (!hThread) return;
    const int nCurrent = GetThreadPriority(hThread);
    if (nCurrent != THREAD_PRIORITY_ERROR_RETURN) (void)SetThreadPriority(hThread, LoweredLevel(nCurrent, nSteps));
    CloseHandle(hThread);
}
