#include "ui/WindowApp.h"

#include <QApplication>

#include "base/ExitCode.h"
#include "diagnostics/ReportWindowSide.h"
#include "engine/InstallerThread.h"
#include "platform/InstanceGuard.h"
#include "platform/ProcessEnd.h"
#include "ui/Fonts.h"
#include "ui/HelpForm.h"
#include "ui/Pictures.h"
#include "ui/QtReportWindowSide.h"
#include "ui/ReportingApplication.h"
#include "ui/SetupForm.h"
#include "wizard/WizardWindow.h"

namespace {

// QApplication keeps references to argc and argv for its whole life.
int g_nArgc = 1;
char g_strProgram[] = "OrlaDesk";
char* g_Argv[] = {g_strProgram, nullptr};

[[noreturn]] void EndProcess(const std::function<void()>& fnBeforeEnd) {
    if (fnBeforeEnd) fnBeforeEnd();
    EndProcessNow(GetExitCode());
}

}  // namespace

int RunHelpWindow(const THelpText& help) {
    TReportingApplication app(g_nArgc, g_Argv);
    LoadStandInFonts();
    THelpForm form(help);
    form.show();
    app.exec();
    return 0;
}

int RunMainWindow(const TCommandLine& cmd, TEngineEnvironment environment, std::function<void()> fnBeforeEnd,
                  TInstanceGuard* guard) {
    TReportingApplication app(g_nArgc, g_Argv);
    QApplication::setQuitOnLastWindowClosed(false);
    LoadStandInFonts();
    InitPictureResources();

    TSetupFormServices services;
    services.fnCreateEngine = [&environment](IMessageTarget& window) -> std::unique_ptr<IInstallerEngine> {
        return std::make_unique<TInstallerThread>(window, std::move(environment));
    };
    TSetupForm form(cmd, std::move(services));
    if (!form.FormCreate()) EndProcess(fnBeforeEnd);
    TQtReportWindowSide reportSide(&form);
    SetReportWindowSide(&reportSide);
    if (guard) guard->ListenForRaise([&form] { form.Post(WM_RAISE_RUNNING_WINDOW); });
    form.show();
    app.exec();
    SetReportWindowSide(nullptr);
    EndProcess(fnBeforeEnd);
}
