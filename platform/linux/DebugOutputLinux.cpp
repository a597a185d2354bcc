#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/DebugOutput.h"

void DebugOutput(std::string_view text) noexcept {
    const char* enabled = std::getenv("VX_DEBUG_OUTPUT");
    if (!enabled || !*enabled) return;
    try {
        std::string line(text);
        line += '\n';
        // One write, so lines from several threads do not mix.
        [[maybe_unused]] ssize_t n = write(STDERR_FILENO, line.data(), line.size());
    } catch (...) {
        // Out of memory while building a debug line: there is nowhere left to say so.
    }
}
