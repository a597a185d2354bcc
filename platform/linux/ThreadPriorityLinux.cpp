#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

TThreadId CurrentThreadId() noexcept { return gettid(); }

void LowerThreadPriority(TThreadId tid, int nSteps) noexcept {
    // A thread starts with the nice value of the one that made it, so the
    // step is taken from where this one stands now.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(nice + nSteps, 19));
}
