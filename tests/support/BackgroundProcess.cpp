#include "support/BackgroundProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::map<std::string, std::string> values;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        std::size_t eq = text.find('=');
        if (eq != std::string::npos) values[text.substr(0, eq)] = text.substr(eq + 1);
    }
    for (const auto& [name, value] : extra) values[name] = value;
    std::vector<std::string> merged;
    for (const auto& [name, value] : values) merged.push_back(name + "=" + value);
    return merged;
}

int StatusToCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::string& exe, const std::vector<std::string>& args,
                                     const std::vector<std::pair<std::string, std::string>>& env) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        throw std::runtime_error("pipe failed");
    }
    // Everything the child needs is prepared before fork: only async-signal-safe calls after it.
    std::vector<std::string> envText = MergedEnvironment(env);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    m_nPid = fork();
    if (m_nPid < 0) throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    if (m_nPid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        execvpe(exe.c_str(), argv.data(), envp.data());
        const char message[] = "BackgroundProcess: exec failed\n";
        (void)!write(STDERR_FILENO, message, sizeof message - 1);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    m_thOut = std::thread(&BackgroundProcess::ReadStdout, this, outPipe[0]);
    m_thErr = std::thread(&BackgroundProcess::ReadStderr, this, errPipe[0]);
}

BackgroundProcess::~BackgroundProcess() {
    Stop();
    if (m_thOut.joinable()) m_thOut.join();
    if (m_thErr.joinable()) m_thErr.join();
}

void BackgroundProcess::ReadStdout(int fd) {
    char block[4096];
    for (;;) {
        ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        std::lock_guard<std::mutex> lock(m_csState);
        m_strPartialLine.append(block, static_cast<std::size_t>(got));
        std::size_t newline;
        while ((newline = m_strPartialLine.find('\n')) != std::string::npos) {
            m_lstLines.push_back(m_strPartialLine.substr(0, newline));
            m_strPartialLine.erase(0, newline + 1);
        }
        m_cvLines.notify_all();
    }
    close(fd);
    std::lock_guard<std::mutex> lock(m_csState);
    if (!m_strPartialLine.empty()) m_lstLines.push_back(std::move(m_strPartialLine));
    m_bOutClosed = true;
    m_cvLines.notify_all();
}

void BackgroundProcess::ReadStderr(int fd) {
    char block[4096];
    for (;;) {
        ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        std::lock_guard<std::mutex> lock(m_csState);
        m_strErr.append(block, static_cast<std::size_t>(got));
    }
    close(fd);
}

std::optional<std::string> BackgroundProcess::WaitForLine(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_csState);
    if (!m_cvLines.wait_for(lock, timeout, [this] { return !m_lstLines.empty() || m_bOutClosed; })) return std::nullopt;
    if (m_lstLines.empty()) return std::nullopt;
    std::string line = std::move(m_lstLines.front());
    m_lstLines.pop_front();
    return line;
}

std::optional<std::string> BackgroundProcess::WaitForLineContaining(const std::string& text,
                                                                    std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        std::optional<std::string> line = WaitForLine(left);
        if (!line) return std::nullopt;
        if (line->find(text) != std::string::npos) return line;
    }
}

std::string BackgroundProcess::StderrText() const {
    std::lock_guard<std::mutex> lock(m_csState);
    return m_strErr;
}

bool BackgroundProcess::Reap(bool wait) {
    if (m_nExitStatus) return true;
    int status = 0;
    pid_t got;
    do {
        got = waitpid(m_nPid, &status, wait ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == m_nPid) {
        m_nExitStatus = StatusToCode(status);
        return true;
    }
    if (got < 0) m_nExitStatus = -1;  // not our child any more: nothing left to stop
    return got < 0;
}

bool BackgroundProcess::IsRunning() { return m_nPid > 0 && !Reap(false); }

int BackgroundProcess::Stop(std::chrono::milliseconds grace) {
    if (m_nPid <= 0) return -1;
    if (Reap(false)) return *m_nExitStatus;
    kill(m_nPid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Reap(false)) return *m_nExitStatus;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(m_nPid, SIGKILL);
    Reap(true);
    return *m_nExitStatus;
}
