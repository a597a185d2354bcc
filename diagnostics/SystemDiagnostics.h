#pragma once
#include <filesystem>
#include <functional>
#include <string>

#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"

// The record behind the log's diagnostics block and the error report.
struct TSysInfo {
    std::string strName;
    std::string strVersion;
    std::string strSystem;
    std::string strProcessor;
    std::string strMonitor;
};

// Fills every field; measures the processor clock, so it takes about 50 ms.
void GetSysInfo(TSysInfo& info);

// The program's own version, "major.minor.release.build": the build's version.
std::string GetAppVersion();

// Everything the diagnostics block asks the machine, so tests can stand in for any of it.
struct TSystemDiagSources {
    const IProcessList& processes;
    const IRegistryHive* pCurrentUser = nullptr;   // null: no such hive
    const IRegistryHive* pLocalMachine = nullptr;  // null: no such hive
    std::filesystem::path pathAppData;             // empty: the folder cannot be determined
    std::filesystem::path pathNetClass = "/sys/class/net";
    std::function<void(TSysInfo&)> fnGetSysInfo = GetSysInfo;
};

// Writes the four diagnostics entries to the process log: free disk space of the
// application-data folder, virtual machine, Wine, and the five-line system
// block. Each check catches its own failure and logs a placeholder instead;
// the system block is always written.
void AppendLogSystemDiag(const TSystemDiagSources& sources);
// The same with the real process list, adapters and application-data folder.
void AppendLogSystemDiag(const IRegistryHive* pCurrentUser, const IRegistryHive* pLocalMachine);
// The same with the user's and the machine's hives opened for the occasion.
void AppendLogSystemDiag();
