#include "platform/RuntimeFacts.h"

#include <execinfo.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

TSystemMemory ReadSystemMemory() {
    struct sysinfo si {};
    TSystemMemory memory;
    if (sysinfo(&si) != 0) return memory;
    const uint64_t unit = si.mem_unit;
    memory.bKnown = true;
    memory.nTotalRam = si.totalram * unit;
    memory.nFreeRam = si.freeram * unit;
    memory.nBufferRam = si.bufferram * unit;
    memory.nTotalSwap = si.totalswap * unit;
    return memory;
}

// /proc/self/statm counts pages: size, then resident (VmRSS).
uint64_t ProcessWorkingSetBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t nSize = 0, nResident = 0;
    if (!(statm >> nSize >> nResident)) return 0;
    const long nPageSize = sysconf(_SC_PAGESIZE);
    return nPageSize > 0 ? nResident * static_cast<uint64_t>(nPageSize) : 0;
}

std::optional<uint64_t> AddressSpaceLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return limit.rlim_cur;
    return std::nullopt;
}

THeapCounters ReadHeapCounters() {
    const struct mallinfo2 info = mallinfo2();
    THeapCounters heap;
    heap.nArena = info.arena;
    heap.nMapped = info.hblkhd;
    heap.nInUse = info.uordblks;
    heap.nFree = info.fordblks;
    heap.nFreeFast = info.fsmblks;
    heap.nReleasable = info.keepcost;
    return heap;
}

std::vector<std::string> StackSymbolLines(int nSkip) {
    constexpr int kMaxFrames = 64;
    void* frames[kMaxFrames];
    const int nFrames = backtrace(frames, kMaxFrames);
    std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, nFrames), &std::free);
    std::vector<std::string> lines;
    if (!symbols) return lines;
    // Frame 0 is this function.
    for (int i = 1 + std::max(0, nSkip); i < nFrames; ++i) lines.emplace_back(symbols.get()[i]);
    return lines;
}
