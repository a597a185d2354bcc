#include <windows.h>
// The other system headers build on windows.h.
#include <shellapi.h>

#include <filesystem>

#include "platform/LogLine.h"
#include "platform/Shell.h"
#include "platform/windows/ComApartment.h"
#include "platform/windows/CommandLineArgument.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

bool SpawnDetached(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    std::string commandLine;
    for (const std::string& arg : args) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += CommandLineArgument(arg);
    }
    std::wstring wide = Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle of ours is inherited and a console program gets no console,
    // which stands for Linux's /dev/null; without a job of ours the program
    // outlives the installer. CreateProcessW looks argv[0] up in PATH.
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                        &startup, &process)) {
        AppendLog("SpawnDetached: cannot start " + args[0] + ": " + WindowsErrorText(GetLastError()));
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    const std::wstring wide = Widen(target);
    // A program started from a file runs in that file's folder, never in ours:
    // the installer's folder may be about to be removed.
    std::error_code ec;
    std::wstring folder;
    const fs::path file(wide);
    if (fs::is_regular_file(file, ec)) folder = fs::absolute(file, ec).parent_path().wstring();
    TComApartment com;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // NOASYNC: the installer may end right after this call, which must not cut
    // a hand-over the shell makes on a thread of its own. NO_UI: a failure is
    // returned and logged, as on Linux, rather than shown in a box of the shell's.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = wide.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return true;
    AppendLog("ShellOpen: cannot open " + target + ": " + WindowsErrorText(GetLastError()));
    return false;
}
