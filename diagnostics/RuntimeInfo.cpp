#include "diagnostics/RuntimeInfo.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "diagnostics/SystemInfo.h"
#include "platform/RuntimeFacts.h"

namespace {

// "Name:   1234 kB" lines of /proc/meminfo and /proc/self/status, in bytes.
std::map<std::string, uint64_t> ReadKilobyteFields(const std::filesystem::path& path) {
    std::map<std::string, uint64_t> fields;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string rest = line.substr(colon + 1);
        char* end = nullptr;
        const unsigned long long value = std::strtoull(rest.c_str(), &end, 10);
        if (end == rest.c_str() || rest.find("kB") == std::string::npos) continue;
        fields[line.substr(0, colon)] = static_cast<uint64_t>(value) * 1024;
    }
    return fields;
}

uint64_t Field(const std::map<std::string, uint64_t>& fields, const std::string& name, uint64_t fallback = 0) {
    const auto it = fields.find(name);
    return it == fields.end() ? fallback : it->second;
}

uint64_t AddressSpaceBytes() {
    if (const std::optional<uint64_t> limit = AddressSpaceLimit()) return *limit;
    return sizeof(void*) >= 8 ? (uint64_t{1} << 47) : (uint64_t{1} << 32);
}

std::string UserDecimalSeparator() {
    std::string separator = LocaleDecimalSeparator();
    if (separator.empty()) separator = ".";
    // Grouping and decimals must not read alike when the locale defines no grouping.
    if (separator == UserThousandSeparator()) separator = separator == "," ? "." : ",";
    return separator;
}

std::string Demangled(const std::string& line) {
    // glibc writes "module(symbol+0x1f) [0x...]"; only the symbol is mangled.
    const auto open = line.find('(');
    const auto plus = line.find('+', open == std::string::npos ? 0 : open);
    if (open == std::string::npos || plus == std::string::npos || plus == open + 1) return line;
    const std::string mangled = line.substr(open + 1, plus - open - 1);
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status),
                                                     &std::free);
    if (status != 0 || !name) return line;
    return line.substr(0, open + 1) + name.get() + line.substr(plus);
}

}  // namespace

TMemoryStatus ReadMemoryStatus(const std::filesystem::path& meminfo, const std::filesystem::path& selfStatus) {
    const auto mem = ReadKilobyteFields(meminfo);
    const auto self = ReadKilobyteFields(selfStatus);
    const TSystemMemory si = ReadSystemMemory();
    const bool bSysinfo = si.bKnown;

    TMemoryStatus status;
    status.nTotalPhys = Field(mem, "MemTotal", bSysinfo ? si.nTotalRam : 0);
    status.nAvailPhys = Field(mem, "MemAvailable", bSysinfo ? si.nFreeRam + si.nBufferRam : 0);
    status.nAvailPhys = std::min(status.nAvailPhys, status.nTotalPhys);
    if (status.nTotalPhys > 0)
        status.nMemoryLoad =
            static_cast<uint32_t>((status.nTotalPhys - status.nAvailPhys) * 100 / status.nTotalPhys);
    status.nTotalPageFile = Field(mem, "CommitLimit", bSysinfo ? si.nTotalRam + si.nTotalSwap : 0);
    const uint64_t committed = Field(mem, "Committed_AS");
    status.nAvailPageFile = status.nTotalPageFile > committed ? status.nTotalPageFile - committed : 0;
    status.nTotalVirtual = AddressSpaceBytes();
    const uint64_t used = Field(self, "VmSize");
    status.nAvailVirtual = status.nTotalVirtual > used ? status.nTotalVirtual - used : 0;
    return status;
}

TMemoryStatus ReadMemoryStatus() { return ReadMemoryStatus("/proc/meminfo", "/proc/self/status"); }

uint64_t ReadWorkingSetBytes() { return ProcessWorkingSetBytes(); }

THeapStatistics ReadHeapStatistics() {
    const THeapCounters info = ReadHeapCounters();
    THeapStatistics heap;
    heap.nCommitted = info.nArena + info.nMapped;
    heap.nAllocated = info.nInUse + info.nMapped;
    heap.nFree = info.nFree;
    heap.nFreeSmall = info.nFreeFast;
    heap.nFreeBig = info.nFree > info.nFreeFast ? info.nFree - info.nFreeFast : 0;
    heap.nUnused = info.nReleasable;
    const uint64_t accounted = heap.nAllocated + heap.nFree;
    heap.nOverhead = heap.nCommitted > accounted ? heap.nCommitted - accounted : 0;
    return heap;
}

std::vector<std::string> CaptureStackList(int nSkip) {
    // This function is one more frame above the caller's.
    std::vector<std::string> lines = StackSymbolLines(std::max(0, nSkip) + 1);
    for (std::string& line : lines) line = Demangled(line);
    return lines;
}

std::string TrimStackLine(std::string_view line) {
    if (line.empty() || line.front() != '[') return std::string(line);
    const auto close = line.find(']');
    std::string_view rest;
    if (close == 9 || close == std::string_view::npos)
        rest = line.size() > 10 ? line.substr(10) : std::string_view();
    else
        rest = line.substr(close + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    return std::string(rest);
}

std::string FormatKilobytes(uint64_t bytes) {
    return FormatThousands(static_cast<int64_t>((bytes + 512) / 1024), UserThousandSeparator());
}

std::string FormatKilobytes2(uint64_t bytes) {
    const uint64_t hundredths = (bytes * 100 + 512) / 1024;
    char decimals[8];
    std::snprintf(decimals, sizeof decimals, "%02u", static_cast<unsigned>(hundredths % 100));
    return FormatThousands(static_cast<int64_t>(hundredths / 100), UserThousandSeparator()) + UserDecimalSeparator() +
           decimals;
}
