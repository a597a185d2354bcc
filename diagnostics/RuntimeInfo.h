#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The process's own state as an error report prints it: memory, heap and call
// stack. None of these raises for a missing source; a figure that cannot be read is 0.

// The machine's memory, in bytes.
//   load: used physical memory in percent, (total - available) * 100 / total;
//   physical: MemTotal and MemAvailable of /proc/meminfo (sysinfo when absent);
//   page file: the commit limit and what is left of it (CommitLimit minus
//     Committed_AS, never below 0), as the Windows page-file figures mean;
//   virtual: the process's address space (its RLIMIT_AS, else 128 TiB for a
//     64-bit process) and that minus the process's VmSize.
struct TMemoryStatus {
    uint32_t nMemoryLoad = 0;
    uint64_t nTotalPhys = 0;
    uint64_t nAvailPhys = 0;
    uint64_t nTotalPageFile = 0;
    uint64_t nAvailPageFile = 0;
    uint64_t nTotalVirtual = 0;
    uint64_t nAvailVirtual = 0;
};

TMemoryStatus ReadMemoryStatus();
// The same from given files (tests).
TMemoryStatus ReadMemoryStatus(const std::filesystem::path& meminfo, const std::filesystem::path& selfStatus);

// The process's resident set (its working set; VmRSS on Linux) in bytes; 0 when unreadable.
uint64_t ReadWorkingSetBytes();

// The heap as glibc's mallinfo2 sees it (all arenas), in bytes:
//   committed: obtained from the system (arena + mmapped blocks);
//   allocated: handed out to the program (uordblks + mmapped blocks);
//   free: free inside the arenas (fordblks);
//   free small: free in fast bins (fsmblks); free big: free minus free small;
//   unused: the releasable top of the main arena (keepcost);
//   overhead: what committed leaves besides allocated and free (bookkeeping).
struct THeapStatistics {
    uint64_t nCommitted = 0;
    uint64_t nAllocated = 0;
    uint64_t nFree = 0;
    uint64_t nFreeSmall = 0;
    uint64_t nFreeBig = 0;
    uint64_t nUnused = 0;
    uint64_t nOverhead = 0;
};

THeapStatistics ReadHeapStatistics();

// The calling thread's call stack, innermost frame first, one line per frame
// as glibc's backtrace_symbols writes it ("module(symbol+0x1f) [0x...]"), with
// C++ names demangled. nSkip drops that many frames above the caller.
std::vector<std::string> CaptureStackList(int nSkip = 0);

// A stack line that begins with "[" loses its bracketed address: the first
// ten characters for the eight-digit form "[0040A1B2]", otherwise everything
// up to and including the closing bracket; then leading blanks go. Other lines
// come back unchanged.
std::string TrimStackLine(std::string_view line);

// Kilobytes (bytes / 1024) grouped with the user's thousands separator:
// rounded to whole kilobytes, or with two decimals after the user's decimal separator.
std::string FormatKilobytes(uint64_t bytes);
std::string FormatKilobytes2(uint64_t bytes);
