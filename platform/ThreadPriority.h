#pragma once
#include <cstdint>

// The system's identifier of a thread, unique among the running threads of
// the process (a kernel thread id, or a Windows thread id).
using TThreadId = int64_t;

TThreadId CurrentThreadId() noexcept;

// Lowers the scheduling priority of the thread by `nSteps` of the system's
// niceness, never past the lowest. Any process may lower its own threads, and
// a lowered thread stays so until it ends. Failures are ignored: a priority
// is only a hint to the scheduler.
void LowerThreadPriority(TThreadId tid, int nSteps) noexcept;
