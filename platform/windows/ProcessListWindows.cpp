#include <windows.h>
// These need windows.h first.
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "platform/ProcessList.h"
#include "platform/windows/WideString.h"

namespace {

// Closes a handle when it goes out of scope; Toolhelp and OpenProcess fail with
// either null or INVALID_HANDLE_VALUE.
class THandle {
public:
    explicit THandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~THandle() {
        if (IsValid()) CloseHandle(m_hHandle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    bool IsValid() const { return m_hHandle != nullptr && m_hHandle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_hHandle; }

private:
    HANDLE m_hHandle;
};

constexpr PROCESSINFOCLASS kProcessCommandLineInformation = static_cast<PROCESSINFOCLASS>(60);
using TNtQueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

TNtQueryInformationProcess FindNtQueryInformationProcess() {
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    if (!hNtdll) return nullptr;
    return reinterpret_cast<TNtQueryInformationProcess>(
        reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtQueryInformationProcess")));
}

std::string ImagePath(HANDLE hProcess) {
    std::wstring path(1024, L'\0');
    for (;;) {
        auto nSize = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(hProcess, 0, path.data(), &nSize)) {
            path.resize(nSize);
            return Narrow(path);
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::string> arguments;
    if (commandLine.empty()) return arguments;
    int nCount = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &nCount);
    if (!argv) return arguments;
    for (int i = 0; i < nCount; ++i) arguments.push_back(Narrow(argv[i]));
    LocalFree(argv);
    return arguments;
}

// Windows 8.1 and later hand out the command line through one query.
bool QueryCommandLine(HANDLE hProcess, std::wstring& commandLine) {
    static const TNtQueryInformationProcess s_Query = FindNtQueryInformationProcess();
    if (!s_Query) return false;
    ULONG nSize = 0;
    s_Query(hProcess, kProcessCommandLineInformation, nullptr, 0, &nSize);
    if (nSize < sizeof(UNICODE_STRING)) return false;
    std::string buffer(nSize, '\0');
    if (s_Query(hProcess, kProcessCommandLineInformation, buffer.data(), nSize, &nSize) < 0) return false;
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    if (!text->Buffer) return false;
    commandLine.assign(text->Buffer, text->Length / sizeof(wchar_t));
    return true;
}

bool ReadRemoteText(HANDLE hProcess, const UNICODE_STRING& remote, std::wstring& text) {
    if (!remote.Buffer || remote.Length == 0) return false;
    text.assign(remote.Length / sizeof(wchar_t), L'\0');
    SIZE_T nRead = 0;
    return ReadProcessMemory(hProcess, remote.Buffer, text.data(), remote.Length, &nRead) && nRead == remote.Length;
}

// Elsewhere (older systems, Wine) the texts sit in the process's parameter
// block, which winternl.h describes up to the command line. The working folder
// lies in its reserved part, at an offset that has not moved since the first
// 64-bit Windows.
struct TProcessTexts {
    std::wstring strCommandLine;
    std::wstring strWorkingDir;
};

TProcessTexts ReadParameterBlock(HANDLE hProcess) {
    TProcessTexts texts;
#ifdef _WIN64
    static_assert(offsetof(RTL_USER_PROCESS_PARAMETERS, ImagePathName) == 0x60);
    constexpr size_t kCurrentDirectoryOffset = 0x38;
    static const TNtQueryInformationProcess s_Query = FindNtQueryInformationProcess();
    PROCESS_BASIC_INFORMATION basic{};
    ULONG nSize = 0;
    if (!s_Query || s_Query(hProcess, ProcessBasicInformation, &basic, sizeof basic, &nSize) < 0 ||
        !basic.PebBaseAddress)
        return texts;
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!ReadProcessMemory(hProcess, basic.PebBaseAddress, &peb, sizeof peb, nullptr) || !peb.ProcessParameters ||
        !ReadProcessMemory(hProcess, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return texts;
    ReadRemoteText(hProcess, parameters.CommandLine, texts.strCommandLine);
    UNICODE_STRING currentDirectory{};
    std::memcpy(&currentDirectory, reinterpret_cast<const char*>(&parameters) + kCurrentDirectoryOffset,
                sizeof currentDirectory);
    ReadRemoteText(hProcess, currentDirectory, texts.strWorkingDir);
#else
    (void)hProcess;
#endif
    return texts;
}

void ReadCommandLineAndFolder(DWORD nPid, HANDLE hLimited, TProcessInfo& info) {
    std::wstring commandLine;
    const bool bQueried = QueryCommandLine(hLimited, commandLine);
    // Reading another process's memory needs more rights, which the same user has.
    THandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, nPid));
    if (!process.IsValid()) {
        if (bQueried) info.lstArguments = SplitCommandLine(commandLine);
        return;
    }
    TProcessTexts texts = ReadParameterBlock(process.Get());
    if (!bQueried) commandLine = std::move(texts.strCommandLine);
    info.lstArguments = SplitCommandLine(commandLine);
    // The block keeps the folder with its trailing separator ("C:\\Users\\"); a root keeps it.
    std::wstring& folder = texts.strWorkingDir;
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    info.strWorkingDir = Narrow(folder);
}

TProcessInfo ReadProcess(const PROCESSENTRY32W& entry) {
    TProcessInfo info;
    info.nPid = static_cast<int>(entry.th32ProcessID);
    // Processes of other users, and the system's own, refuse even this least
    // of rights; they keep the name the snapshot gave.
    THandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process.IsValid()) {
        info.strExePath = ImagePath(process.Get());
        ReadCommandLineAndFolder(entry.th32ProcessID, process.Get(), info);
    }
    info.strExeName = info.strExePath.empty() ? Narrow(entry.szExeFile)
                                              : info.strExePath.substr(info.strExePath.find_last_of("\\/") + 1);
    return info;
}

// The snapshot's module path is cut at MAX_PATH characters; the long form
// then comes from the process itself, where access allows it.
std::string ModulePath(const MODULEENTRY32W& module, HANDLE hProcess) {
    if (wcslen(module.szExePath) < MAX_PATH - 1 || !hProcess) return Narrow(module.szExePath);
    std::wstring path(32768, L'\0');
    const DWORD nLength = GetModuleFileNameExW(hProcess, module.hModule, path.data(), static_cast<DWORD>(path.size()));
    if (nLength == 0) return Narrow(module.szExePath);
    path.resize(nLength);
    return Narrow(path);
}

class TProcessListWindows : public IProcessList {
public:
    std::vector<TProcessInfo> Snapshot() const override {
        std::vector<TProcessInfo> result;
        THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot.IsValid()) return result;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL bMore = Process32FirstW(snapshot.Get(), &entry); bMore;
             bMore = Process32NextW(snapshot.Get(), &entry))
            result.push_back(ReadProcess(entry));
        return result;
    }

    std::vector<std::string> Modules(int pid) const override {
        std::vector<std::string> modules;
        if (pid <= 0) return modules;
        // Both kinds, so that a 32-bit product is seen from this 64-bit installer.
        const DWORD nFlags = TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32;
        HANDLE hSnapshot = INVALID_HANDLE_VALUE;
        // The snapshot fails with ERROR_BAD_LENGTH while the process is loading or unloading a module.
        for (int attempt = 0; attempt < 5 && hSnapshot == INVALID_HANDLE_VALUE; ++attempt) {
            hSnapshot = CreateToolhelp32Snapshot(nFlags, static_cast<DWORD>(pid));
            if (hSnapshot == INVALID_HANDLE_VALUE && GetLastError() != ERROR_BAD_LENGTH) break;
        }
        THandle snapshot(hSnapshot);
        if (!snapshot.IsValid()) return modules;
        THandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(pid)));
        std::set<std::string> seen;
        MODULEENTRY32W module{};
        module.dwSize = sizeof module;
        for (BOOL bMore = Module32FirstW(snapshot.Get(), &module); bMore;
             bMore = Module32NextW(snapshot.Get(), &module)) {
            std::string path = ModulePath(module, process.IsValid() ? process.Get() : nullptr);
            if (seen.insert(path).second) modules.push_back(std::move(path));
        }
        return modules;
    }
};

}  // namespace

std::unique_ptr<IProcessList> CreateProcessList() { return std::make_unique<TProcessListWindows>(); }
