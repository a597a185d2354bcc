// The installer's entry point: log, single instance, command line, then the
// help text, the window, or a run without a window.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/HeadlessRunner.h"
#include "app/StartupFolder.h"
#include "base/CommandLine.h"
#include "base/Edition.h"
#include "base/ExitCode.h"
#include "base/HelpText.h"
#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "diagnostics/MachineIdentity.h"
#include "diagnostics/SystemDiagnostics.h"
#include "diagnostics/SystemInfo.h"
#include "engine/InstallerThread.h"
#include "platform/Folders.h"
#include "platform/Hives.h"
#include "platform/InstanceGuard.h"
#include "platform/ProcessEnd.h"
#include "platform/ProcessList.h"
#include "platform/ProgramArguments.h"
#include "service/ProxySettings.h"
#include "wizard/WizardNavigation.h"

#if defined(VX_HAVE_WINUI)
#include "winui/WinWindowApp.h"
#define VX_HAVE_WINDOW 1
#elif defined(VX_HAVE_UI)
#include "ui/WindowApp.h"
#define VX_HAVE_WINDOW 1
#endif

namespace {

#if defined(VX_HAVE_UI) && !defined(VX_HAVE_WINUI)
bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

bool WindowAvailable() { return HasDisplay(); }
#endif

TEngineEnvironment EngineEnvironment(const TCommandLine& cmd) {
    TEngineEnvironment env;
    env.lstCommandLine = cmd.Words();
    env.fnMachineIdHex = [] { return MachineIdHex(); };
    env.fnOsDescription = [] { return FormatSystemDescription(OsVersion(), Is64BitWindows()); };
    env.hkcu = OpenCurrentUserHive();
    env.processes = CreateProcessList();
    env.pathAppData = AppDataFolder();
    env.strServerUrl = edition::strDownloadServerUrl();
    env.strInstallerVersionUrl = edition::strInstallerVersionUrl();
    env.strLocalInstallerVersion =
        std::to_string(VX_PRODUCT_VERSION_MAJOR) + "." + std::to_string(VX_PRODUCT_VERSION_MINOR);
    env.bX64 = Is64BitWindows();
    env.releaseKeys = TReleaseKeys(edition::strReleasePublicKeys());
    return env;
}

// The engine driven without a window: the same requests the window makes at
// its creation, answered on the terminal. The engine is never told to quit and
// may still be inside a handler, so the process ends here, once the run's
// temporary folder is gone.
[[noreturn]] void RunHeadless(const TCommandLine& cmd, TStartupFolder& folder) {
    THeadlessRunner runner(stdout, StandardOutputIsTerminal());
    TInstallerThread engine(runner, EngineEnvironment(cmd));
    engine.Start();
    engine.WaitStart();
    engine.SetUnnatendedValues(cmd.Name(), cmd.InstallType());
    engine.SetProxyConfig(ProxyFromSystem());
    engine.VerifyPreviousInstall();
    int code = runner.Run();
    // The same rule as the window's quit: a failed new installation leaves
    // nothing of its unpacked files behind.
    if (TWizardNavigation::QuitUndoesInstall(cmd.InstallType(), code, engine.IsNewInstall())) engine.UndoInstall();
    folder.Remove();
    EndProcessNow(code);
}

int ShowHelp(const TCommandLine& cmd) {
    std::string exe = cmd.Words().empty() ? "OrlaDesk" : cmd.Words()[0];
    exe = exe.substr(exe.find_last_of("/\\") + 1);
    THelpText help = BuildHelpText(exe, GetLanguage());
#ifdef VX_HAVE_WINDOW
    if (WindowAvailable()) return RunHelpWindow(help);
#endif
    std::printf("%s", HelpTextForTerminal(help).c_str());
    return 0;
}

int RunInstaller(const TCommandLine& cmd, TStartupFolder& folder, TInstanceGuard& guard) {
#ifdef VX_HAVE_WINDOW
    if (WindowAvailable()) return RunMainWindow(cmd, EngineEnvironment(cmd), [&folder] { folder.Remove(); }, &guard);
#else
    (void)guard;
#endif
    if (cmd.InstallType() != citNone) RunHeadless(cmd, folder);
#ifdef VX_HAVE_WINDOW
    std::fprintf(stderr,
                 "OrlaDesk: no display is available for the installer window.\n"
                 "Run it on a desktop, or unattended with /install [name] or /update [name] (see /?).\n");
#else
    std::fprintf(stderr,
                 "OrlaDesk: this build has no installer window.\n"
                 "Run it unattended with /install [name] or /update [name] (see /?).\n");
#endif
    return ecUnexpected;
}

}  // namespace

int main(int argc, char** argv) {
    auto start = std::chrono::system_clock::now();
    ProcessLog().Open(UserTempFolder(), start);
    SetLanguageFromEnvironment();
    TCommandLine cmd(ProgramArguments(argc, argv));

    TInstanceGuard guard;
    if (!guard.TryAcquire()) {
        guard.RequestRaise();
        // Calling software must not be told that an installation happened.
        return cmd.InstallType() == citNone ? 0 : ecUnexpected;
    }

    bool showHelp = cmd.ShowHelp();
    AppendLogSystemDiag();
    if (showHelp) return ShowHelp(cmd);

    TStartupFolder folder(start);
    folder.Create();
    int code = ecUnexpected;
    // The last boundary: what escapes the run (an engine that could not
    // start, say) is logged and reported, and ends the process as a failure.
    try {
        code = RunInstaller(cmd, folder, guard);
    } catch (const std::exception& e) {
        AppendLog(std::string("Installer.DPR: Except: ") + e.what());
        TExceptionObject::SilentException(e);
    }
    folder.Remove();
    return code;
}
