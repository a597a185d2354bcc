#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The raw figures behind an error report's memory, heap and stack lines, as
// the system gives them; what they mean and how they print is the report's
// business. None of these raises.

// The system's memory counters, in bytes; all 0 and bKnown false when the
// system would not say.
struct TSystemMemory {
    bool bKnown = false;
    uint64_t nTotalRam = 0;
    uint64_t nFreeRam = 0;
    uint64_t nBufferRam = 0;
    uint64_t nTotalSwap = 0;
};
TSystemMemory ReadSystemMemory();

// The process's working set: the bytes of its memory resident now; 0 when the
// system would not say.
uint64_t ProcessWorkingSetBytes();

// The process's own limit on its address space in bytes; none when unlimited
// or unknown.
std::optional<uint64_t> AddressSpaceLimit();

// The allocator's counters over all its arenas, in bytes.
struct THeapCounters {
    uint64_t nArena = 0;       // obtained from the system for the arenas
    uint64_t nMapped = 0;      // blocks mapped one by one, outside the arenas
    uint64_t nInUse = 0;       // handed out from the arenas
    uint64_t nFree = 0;        // free inside the arenas
    uint64_t nFreeFast = 0;    // of that, free in the small-block caches
    uint64_t nReleasable = 0;  // the free top of the main arena
};
THeapCounters ReadHeapCounters();

// The calling thread's call stack, innermost frame first, one line per frame
// as the system's symboliser writes it ("module(symbol+0x1f) [0x...]"),
// names still mangled. nSkip drops that many frames above the caller.
std::vector<std::string> StackSymbolLines(int nSkip);
