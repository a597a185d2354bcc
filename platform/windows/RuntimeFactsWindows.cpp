#include <malloc.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/RuntimeFacts.h"
#include "platform/windows/WideString.h"

TSystemMemory ReadSystemMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    TSystemMemory memory;
    if (!GlobalMemoryStatusEx(&status)) return memory;
    memory.bKnown = true;
    memory.nTotalRam = status.ullTotalPhys;
    memory.nFreeRam = status.ullAvailPhys;
    // Windows keeps its file cache inside the available figure and says no more.
    memory.nBufferRam = 0;
    // The commit limit is the memory plus the page files.
    memory.nTotalSwap =
        status.ullTotalPageFile > status.ullTotalPhys ? status.ullTotalPageFile - status.ullTotalPhys : 0;
    return memory;
}

uint64_t ProcessWorkingSetBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

// Windows limits a process's memory only through the job it runs in.
std::optional<uint64_t> AddressSpaceLimit() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr))
        return std::nullopt;
    if (!(limits.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_PROCESS_MEMORY)) return std::nullopt;
    return limits.ProcessMemoryLimit;
}

// The C library's heap, walked block by block. Blocks outside the heap's
// regions were allocated from the system one by one, as glibc maps its large
// blocks. The walk must not allocate from the heap it walks, so the regions
// are kept in a fixed array; regions past it count their blocks as mapped.
THeapCounters ReadHeapCounters() {
    THeapCounters heap;
    const HANDLE hHeap = reinterpret_cast<HANDLE>(_get_heap_handle());
    if (!hHeap || !HeapLock(hHeap)) return heap;
    struct TRegion {
        const char* pFirst;
        const char* pEnd;
    };
    std::array<TRegion, 64> regions{};
    size_t nRegions = 0;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(hHeap, &entry)) {
        const char* pData = static_cast<const char*>(entry.lpData);
        if (entry.wFlags & PROCESS_HEAP_REGION) {
            heap.nArena += entry.Region.dwCommittedSize;
            if (nRegions < regions.size())
                regions[nRegions++] = {static_cast<const char*>(entry.Region.lpFirstBlock),
                                       static_cast<const char*>(entry.Region.lpLastBlock)};
        } else if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            const bool bInRegion = std::any_of(regions.begin(), regions.begin() + nRegions,
                                               [&](const TRegion& r) { return pData >= r.pFirst && pData < r.pEnd; });
            (bInRegion ? heap.nInUse : heap.nMapped) += entry.cbData;
        } else if (!(entry.wFlags & PROCESS_HEAP_UNCOMMITTED_RANGE)) {
            heap.nFree += entry.cbData;
        }
    }
    HeapUnlock(hHeap);
    // Windows keeps its small-block caches inside busy blocks and gives back
    // free pages on its own, so neither nFreeFast nor nReleasable is known.
    return heap;
}

// Without debugging symbols in the program, a frame is named by its module and
// the offset into it, in the form glibc uses for frames without a symbol.
std::vector<std::string> StackSymbolLines(int nSkip) {
    constexpr ULONG kMaxFrames = 62;  // the most CaptureStackBackTrace takes on older systems
    void* frames[kMaxFrames] = {};
    // Frame 0 is this function.
    const USHORT nFrames =
        CaptureStackBackTrace(static_cast<ULONG>(1 + std::max(0, nSkip)), kMaxFrames, frames, nullptr);
    std::vector<std::string> lines;
    for (USHORT i = 0; i < nFrames && frames[i] != nullptr; ++i) {
        // The walk can run past the thread's first frame into whatever the
        // stack holds there (Wine does); such an address lies in no module.
        HMODULE hModule = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCWSTR>(frames[i]), &hModule))
            break;
        wchar_t path[MAX_PATH] = {};
        const DWORD nLength = GetModuleFileNameW(hModule, path, MAX_PATH);
        std::wstring_view name(path, nLength);
        name.remove_prefix(std::min(name.size(), name.find_last_of(L"\\/") + 1));
        const std::string module = Narrow(name);
        const auto nAddress = reinterpret_cast<uintptr_t>(frames[i]);
        const auto nOffset = nAddress - reinterpret_cast<uintptr_t>(hModule);
        char text[64];
        std::snprintf(text, sizeof text, "(+0x%llx) [0x%llx]", static_cast<unsigned long long>(nOffset),
                      static_cast<unsigned long long>(nAddress));
        lines.push_back(module + text);
    }
    return lines;
}
