#include "base/ExitCode.h"

#include <atomic>

namespace {
std::atomic<int> g_nExitCode{0};
}

void SetExitCode(int code) { g_nExitCode.store(code); }
int GetExitCode() { return g_nExitCode.load(); }
