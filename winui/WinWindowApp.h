#pragma once
#include <functional>

#include "base/CommandLine.h"
#include "base/HelpText.h"
#include "engine/InstallerThread.h"

class TInstanceGuard;

// Whether this process can show a window: it runs on an interactive desktop
// (not in a service's hidden window station).
bool WindowAvailable();

// The help window as the application's main window; returns when it closes.
int RunHelpWindow(const THelpText& help);

// The installer window with its engine. Never returns: once the window's loop
// ends (or a picture is missing) `fnBeforeEnd` runs (it removes the run's
// temporary folder) and the process ends with the run's exit code, because
// the engine thread is never told to quit. `guard` (may be null) brings this
// window to the front when another copy of the installer starts.
[[noreturn]] int RunMainWindow(const TCommandLine& cmd, TEngineEnvironment environment,
                               std::function<void()> fnBeforeEnd, TInstanceGuard* guard = nullptr);
