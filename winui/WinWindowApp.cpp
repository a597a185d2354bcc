#include "winui/WinWindowApp.h"

#include "base/ExitCode.h"
#include "diagnostics/ReportWindowSide.h"
#include "platform/InstanceGuard.h"
#include "platform/ProcessEnd.h"
#include "winui/GdiPlusSession.h"
#include "winui/WinFonts.h"
#include "winui/WinHelpForm.h"
#include "winui/WinReportWindowSide.h"
#include "winui/WinSetupForm.h"

namespace {

[[noreturn]] void EndProcess(const std::function<void()>& fnBeforeEnd) {
    if (fnBeforeEnd) fnBeforeEnd();
    EndProcessNow(GetExitCode());
}

// A double-clicked console program gets a console window of its own; the
// wizard does not want it behind. A console it shares (a command prompt that
// started it) stays, for the unattended runs' output.
void LeaveOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

void RunLoop(TWinSetupForm& form) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        form.PreviewKey(msg);
        if (IsDialogMessageW(form.Handle(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

// A desktop the user sees, and one that can really hold a window: a service's
// hidden window station has none, and neither has Wine without an X display.
bool WindowAvailable() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr)) return false;
    if (!(flags.dwFlags & WSF_VISIBLE)) return false;
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

int RunHelpWindow(const THelpText& help) {
    LeaveOwnConsole();
    TGdiPlusSession gdiplus;
    TWinFonts::LoadStandIns();
    return RunWinHelpWindow(help);
}

int RunMainWindow(const TCommandLine& cmd, TEngineEnvironment environment, std::function<void()> fnBeforeEnd,
                  TInstanceGuard* guard) {
    LeaveOwnConsole();
    TGdiPlusSession gdiplus;
    TWinFonts::LoadStandIns();
    TWinSetupFormServices services;
    services.fnCreateEngine = [&environment](IMessageTarget& window) -> std::unique_ptr<IInstallerEngine> {
        return std::make_unique<TInstallerThread>(window, std::move(environment));
    };
    TWinSetupForm form(cmd, std::move(services));
    if (!form.FormCreate()) EndProcess(fnBeforeEnd);
    TWinReportWindowSide reportSide(form.Handle());
    SetReportWindowSide(&reportSide);
    if (guard) guard->ListenForRaise([&form] { form.Post(WM_RAISE_RUNNING_WINDOW); });
    ShowWindow(form.Handle(), SW_SHOW);
    SetForegroundWindow(form.Handle());
    RunLoop(form);
    SetReportWindowSide(nullptr);
    EndProcess(fnBeforeEnd);
}
