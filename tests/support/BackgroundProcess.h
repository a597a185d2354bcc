#pragma once
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A program running in the background for the length of a test, typically a
// server on 127.0.0.1. Its stdout is read line by line (so a test can wait for
// "Listening on ..."), its stderr is collected, and it is stopped by its own
// process id (SIGTERM, then SIGKILL after a grace period) when Stop() is called
// or the object goes away. Never stops anything but the child it started.
//
//   BackgroundProcess server(VX_BIN_DIR "/vxrelease", {"serve", tree, "--port", "0"});
//   auto line = server.WaitForLineContaining("Listening on", std::chrono::seconds(10));
class BackgroundProcess {
public:
    // Starts `exe` (a path, or a name looked up in PATH) with `args`; `env`
    // entries are added to, or override, the current environment. Throws
    // std::runtime_error when the program cannot be started.
    BackgroundProcess(const std::string& exe, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env = {});
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t Pid() const { return m_nPid; }

    // The next line of stdout (without its line break), or nothing when the
    // stream ended or `timeout` passed first.
    std::optional<std::string> WaitForLine(std::chrono::milliseconds timeout);
    // Skips lines until one contains `text`; nothing on end of stream or time-out.
    std::optional<std::string> WaitForLineContaining(const std::string& text, std::chrono::milliseconds timeout);

    // Everything written to stderr so far.
    std::string StderrText() const;

    // True while the child has not ended.
    bool IsRunning();

    // SIGTERM, up to `grace` for the child to end, then SIGKILL. Returns the exit
    // status as RunProcess gives it (128 + signal for a killed child). Calling it
    // again returns the same status.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

private:
    void ReadStdout(int fd);
    void ReadStderr(int fd);
    bool Reap(bool wait);

    pid_t m_nPid = -1;
    std::optional<int> m_nExitStatus;
    std::thread m_thOut, m_thErr;
    mutable std::mutex m_csState;
    std::condition_variable m_cvLines;
    std::deque<std::string> m_lstLines;
    std::string m_strPartialLine;
    bool m_bOutClosed = false;
    std::string m_strErr;
};
