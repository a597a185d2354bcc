#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/DebugOutput.h"
#include "platform/windows/WideString.h"

// The debugger channel costs next to nothing when no debugger listens, so it
// always gets the line. VX_DEBUG_OUTPUT also sends it to stderr, as on Linux,
// for runs under Wine or in a console where no debugger is attached.
void DebugOutput(std::string_view text) noexcept {
    try {
        OutputDebugStringW(Widen(text).c_str());
        const char* enabled = std::getenv("VX_DEBUG_OUTPUT");
        if (!enabled || !*enabled) return;
        std::string line(text);
        line += '\n';
        // One write, so lines from several threads do not mix.
        DWORD nWritten = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &nWritten, nullptr);
    } catch (...) {
        // Out of memory while building a debug line: there is nowhere left to say so.
    }
}
