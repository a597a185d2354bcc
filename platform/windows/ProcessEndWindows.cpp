#include <windows.h>

#include <cstdio>

#include "platform/ProcessEnd.h"

void EndProcessNow(int code) noexcept {
    std::fflush(nullptr);
    // ExitProcess would still run the DLLs' detach handlers, which may wait on
    // a lock that a thread killed a moment earlier was holding.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    // Termination of the own process does not return; should it, leave the ordinary way.
    ExitProcess(static_cast<UINT>(code));
}

bool StandardOutputIsTerminal() noexcept {
    // A redirection to NUL is a character device too, so only a console counts.
    DWORD nMode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &nMode) != 0;
}
