#include "platform/ProcessEnd.h"

#include <unistd.h>

#include <cstdio>

void EndProcessNow(int code) noexcept {
    std::fflush(nullptr);
    _exit(code);
}

bool StandardOutputIsTerminal() noexcept { return isatty(STDOUT_FILENO) != 0; }
