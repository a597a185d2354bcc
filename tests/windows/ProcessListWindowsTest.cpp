#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "engine/InstallationTarget.h"
#include "platform/ProcessList.h"
#include "platform/windows/WideString.h"
#include "support/TempDir.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string ModulePath(HMODULE hModule) {
    wchar_t path[MAX_PATH] = {};
    const DWORD nLength = GetModuleFileNameW(hModule, path, MAX_PATH);
    return Narrow(std::wstring_view(path, nLength));
}

// The running-product check compares full paths in lower case, so the
// snapshot must give the same full path the system gives the process itself.
TEST(ProcessListWindows, SnapshotHoldsThisProcessWithItsPathCommandLineAndFolder) {
    const auto processes = CreateProcessList()->Snapshot();
    const int pid = static_cast<int>(GetCurrentProcessId());
    const auto self =
        std::find_if(processes.begin(), processes.end(), [pid](const TProcessInfo& p) { return p.nPid == pid; });
    ASSERT_NE(self, processes.end());
    const std::string exe = ModulePath(nullptr);
    EXPECT_EQ(Lower(self->strExePath), Lower(exe));
    EXPECT_EQ(Lower(self->strExeName), Lower(exe.substr(exe.find_last_of('\\') + 1)));
    EXPECT_GT(processes.size(), 1u) << "the system's own processes are listed too";
    ASSERT_FALSE(self->lstArguments.empty());
    const std::string stem = Lower(self->strExeName.substr(0, self->strExeName.rfind('.')));
    EXPECT_NE(Lower(self->lstArguments.front()).find(stem), std::string::npos)
        << "program first: " << self->lstArguments.front();
    wchar_t folder[MAX_PATH] = {};
    std::wstring current(folder, GetCurrentDirectoryW(MAX_PATH, folder));
    if (current.size() > 3 && current.back() == L'\\') current.pop_back();
    EXPECT_EQ(Lower(self->strWorkingDir), Lower(Narrow(current)));
}

TEST(ProcessListWindows, ModulesOfThisProcessAreFullPathsIncludingTheExecutable) {
    const auto modules = CreateProcessList()->Modules(static_cast<int>(GetCurrentProcessId()));
    ASSERT_FALSE(modules.empty());
    auto holds = [&](const std::string& path) {
        return std::any_of(modules.begin(), modules.end(),
                           [&](const std::string& m) { return Lower(m) == Lower(path); });
    };
    EXPECT_TRUE(holds(ModulePath(nullptr)));
    EXPECT_TRUE(holds(ModulePath(GetModuleHandleW(L"kernel32.dll"))));
    for (const std::string& module : modules) EXPECT_EQ(module.substr(1, 2), ":\\") << module;
    EXPECT_EQ(std::set<std::string>(modules.begin(), modules.end()).size(), modules.size()) << "each module once";
}

// Another process, as the product would be: its path, command line, working
// folder and modules come from its memory, not from our own.
TEST(ProcessListWindows, AnotherProcessIsSeenWithItsCommandLineFolderAndModules) {
    wchar_t system[MAX_PATH] = {};
    const std::wstring cmd = std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\cmd.exe";
    TempDir folder;
    // cmd /k waits on its input, a pipe nobody writes to, until it is ended.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&hRead, &hWrite, &inherit, 0));
    SetHandleInformation(hWrite, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hRead;
    startup.hStdOutput = startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = L"\"" + cmd + L"\" /k rem vx-marker";
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(cmd.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                               folder.path().wstring().c_str(), &startup, &child));
    CloseHandle(hRead);
    WaitForInputIdle(child.hProcess, 5000);
    const auto list = CreateProcessList();
    const auto processes = list->Snapshot();
    const auto found = std::find_if(processes.begin(), processes.end(),
                                    [&](const TProcessInfo& p) { return p.nPid == int(child.dwProcessId); });
    std::vector<std::string> modules;
    if (found != processes.end()) modules = list->Modules(found->nPid);
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 5000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    CloseHandle(hWrite);

    ASSERT_NE(found, processes.end());
    EXPECT_EQ(Lower(found->strExePath), Lower(Narrow(cmd)));
    EXPECT_EQ(Lower(found->strExeName), "cmd.exe");
    EXPECT_EQ(found->lstArguments.size(), 4u);
    EXPECT_EQ(found->lstArguments.back(), "vx-marker");
    EXPECT_EQ(Lower(found->strWorkingDir), Lower(folder.path().string()));
    EXPECT_TRUE(std::any_of(modules.begin(), modules.end(),
                            [&](const std::string& m) { return Lower(m) == Lower(Narrow(cmd)); }));
    EXPECT_GT(modules.size(), 2u);
}

// The engine builds the product's path with forward slashes under APPDATA;
// it must still find the running program, and only that one.
TEST(ProcessListWindows, RunningProductCheckFindsThisProgramByItsPath) {
    std::string exe = ModulePath(nullptr);
    std::string mixed = exe;
    std::replace(mixed.begin() + 3, mixed.end(), '\\', '/');
    const auto processes = CreateProcessList();
    EXPECT_TRUE(TInstallationTarget::IsProcessRunning(*processes, mixed));
    EXPECT_TRUE(TInstallationTarget::IsProcessRunning(*processes, Lower(exe)));
    const std::string sibling = exe.substr(0, exe.find_last_of('\\') + 1) + "vantixchart-not-running.exe";
    EXPECT_FALSE(TInstallationTarget::IsProcessRunning(*processes, sibling));
}

TEST(ProcessListWindows, EndedOrUnknownProcessHasNoModules) {
    EXPECT_TRUE(CreateProcessList()->Modules(0).empty());
    EXPECT_TRUE(CreateProcessList()->Modules(-5).empty());
}

}  // namespace
