#pragma once
#include <memory>
#include <string>
#include <vector>

// Running processes, as a snapshot. On Linux the executable comes from
// /proc/<pid>/exe and the loaded modules from /proc/<pid>/maps; processes that
// belong to other users may show no executable.
struct TProcessInfo {
    int nPid = 0;
    std::string strExePath;  // full path of the executable; empty when unreadable
    std::string strExeName;  // file name part of strExePath (or the process name)
};

class IProcessList {
public:
    virtual ~IProcessList() = default;
    virtual std::vector<TProcessInfo> Snapshot() const = 0;
    // Full paths of the files mapped into the process (its executable and libraries).
    virtual std::vector<std::string> Modules(int pid) const = 0;
};

std::unique_ptr<IProcessList> CreateProcessList();
