#pragma once
#include <string>
#include <vector>

// The shell's "open": an executable file is started on its own; anything else
// (a web address, a document, an executable the kernel cannot run) is handed to
// xdg-open, which picks the user's program for it. Either way the started process is detached: its own session,
// standard streams on /dev/null, and never a child of ours, so it leaves no
// zombie and survives the installer. True when the program was started; a
// failure inside the started program is not seen. Any thread. On Windows the
// shell's own "open" (ShellExecuteW) does all of this, in the file's folder.
bool ShellOpen(const std::string& target);

// Starts argv[0] (a path, or a name looked up in $PATH) with these arguments,
// detached as above. True when the exec succeeded.
bool SpawnDetached(const std::vector<std::string>& argv);
