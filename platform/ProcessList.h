#pragma once
#include <memory>
#include <string>
#include <vector>

// Running processes, as a snapshot. On Linux the executable comes from
// /proc/<pid>/exe, the command line from /proc/<pid>/cmdline, the working folder
// from /proc/<pid>/cwd and the loaded modules from /proc/<pid>/maps; processes
// that belong to other users may show no executable, working folder or modules.
struct TProcessInfo {
    int nPid = 0;
    std::string strExePath;  // full path of the executable; empty when unreadable
    std::string strExeName;  // file name part of strExePath (or the process name)
    // The command line as the process holds it, program first. A program run
    // through a loader (an interpreter, a compatibility layer) is named here
    // while strExePath is the loader.
    std::vector<std::string> lstArguments;
    std::string strWorkingDir;  // empty when unreadable
};

class IProcessList {
public:
    virtual ~IProcessList() = default;
    virtual std::vector<TProcessInfo> Snapshot() const = 0;
    // Full paths of the files mapped into the process (its executable and libraries).
    virtual std::vector<std::string> Modules(int pid) const = 0;
};

std::unique_ptr<IProcessList> CreateProcessList();
