#pragma once
#include <string>
#include <utility>
#include <vector>

// What a finished child left behind. exitCode is the program's exit status;
// a child killed by a signal gives 128 + the signal number (as a shell would),
// and one that outlived its time limit is killed and gives -1.
struct ProcessResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs `exe` (a path, or a name looked up in PATH) with `args` (argv[1]...),
// feeds it `stdinText` then end-of-file, and collects everything it writes to
// stdout and stderr. `env` entries are added to, or override, the current
// environment. Throws std::runtime_error when the program cannot be started.
ProcessResult RunProcess(const std::string& exe, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const std::string& stdinText = "", int timeoutSeconds = 60);
