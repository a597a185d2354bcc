#pragma once
#include "base/CommandLine.h"
#include "base/HelpText.h"
#include "app/StartupFolder.h"
#include "engine/InstallerThread.h"

class TInstanceGuard;

// The help window as the application's main window; returns when it closes.
int RunHelpWindow(const THelpText& help);

// The installer window with its engine. Never returns: once the window's loop
// ends (or a picture is missing) the startup folder is removed and the process
// ends with the run's exit code, because the engine thread is never told to
// quit. `guard` (may be null) brings this window to the front when another copy
// of the installer starts.
[[noreturn]] int RunMainWindow(const TCommandLine& cmd, TEngineEnvironment environment, TStartupFolder& folder,
                               TInstanceGuard* guard = nullptr);
