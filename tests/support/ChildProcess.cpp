#include "support/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : m_nFd(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return m_nFd; }
    void Close() { Reset(-1); }
    void Reset(int fd) {
        if (m_nFd >= 0) ::close(m_nFd);
        m_nFd = fd;
    }

private:
    int m_nFd = -1;
};

struct TPipe {
    TFd read, write;
};

void MakePipe(TPipe& p) {
    int fds[2];
    // Close-on-exec so that children started by other threads at the same time
    // do not inherit our ends and keep them open past this child's exit.
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + strerror(errno));
    p.read.Reset(fds[0]);
    p.write.Reset(fds[1]);
}

std::vector<std::string> MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::map<std::string, std::string> vars;
    std::vector<std::string> order;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        std::string name = entry.substr(0, eq);
        if (!vars.count(name)) order.push_back(name);
        vars[name] = eq == std::string::npos ? "" : entry.substr(eq + 1);
    }
    for (const auto& [name, value] : extra) {
        if (!vars.count(name)) order.push_back(name);
        vars[name] = value;
    }
    std::vector<std::string> result;
    for (const auto& name : order) result.push_back(name + "=" + vars[name]);
    return result;
}

std::vector<char*> PointerArray(std::vector<std::string>& strings) {
    std::vector<char*> ptrs;
    for (auto& s : strings) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    return ptrs;
}

// Blocks SIGPIPE in this thread while we write to a child that may already have
// gone, and swallows the one our writes raised before unblocking it again.
class TSigPipeGuard {
public:
    TSigPipeGuard() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &m_OldMask);
    }
    ~TSigPipeGuard() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        timespec zero{};
        while (sigtimedwait(&pipeOnly, nullptr, &zero) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &m_OldMask, nullptr);
    }
    const sigset_t& OldMask() const { return m_OldMask; }

private:
    sigset_t m_OldMask;
};

pid_t Spawn(const std::string& exe, const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env, const sigset_t& childMask,
            TPipe& in, TPipe& out, TPipe& err) {
    std::vector<std::string> argv{exe};
    argv.insert(argv.end(), args.begin(), args.end());
    auto argvPtrs = PointerArray(argv);
    auto envStrings = MergedEnvironment(env);
    auto envPtrs = PointerArray(envStrings);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read.Get(), 0);
    posix_spawn_file_actions_adddup2(&actions, out.write.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.write.Get(), 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t mask = childMask;
    sigdelset(&mask, SIGPIPE);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &mask);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    int rc = posix_spawnp(&pid, exe.c_str(), &actions, &attr, argvPtrs.data(), envPtrs.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + exe + ": " + strerror(rc));
    return pid;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Feeds stdin and drains stdout/stderr together, so that a child filling one
// pipe never blocks while we wait on another. Returns false on timeout.
bool Exchange(TPipe& in, TPipe& out, TPipe& err, const std::string& stdinText, ProcessResult& result,
              Clock::time_point deadline) {
    fcntl(in.write.Get(), F_SETFL, O_NONBLOCK);
    size_t written = 0;
    if (stdinText.empty()) in.write.Close();
    char buf[65536];
    while (out.read.Get() >= 0 || err.read.Get() >= 0) {
        pollfd fds[3];
        int n = 0;
        auto add = [&](int fd, short events) {
            if (fd >= 0) fds[n++] = pollfd{fd, events, 0};
        };
        add(out.read.Get(), POLLIN);
        add(err.read.Get(), POLLIN);
        add(in.write.Get(), POLLOUT);
        int timeout = RemainingMs(deadline);
        if (timeout == 0) return false;
        int rc = poll(fds, n, timeout);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) throw std::runtime_error(std::string("poll: ") + strerror(errno));
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == in.write.Get()) {
                ssize_t w = ::write(in.write.Get(), stdinText.data() + written, stdinText.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if (w < 0 && errno != EAGAIN && errno != EINTR) in.write.Close();  // child stopped reading
                else if (written == stdinText.size()) in.write.Close();
                continue;
            }
            TFd& fd = fds[i].fd == out.read.Get() ? out.read : err.read;
            std::string& sink = fds[i].fd == out.read.Get() ? result.out : result.err;
            ssize_t r = ::read(fd.Get(), buf, sizeof buf);
            if (r > 0) sink.append(buf, static_cast<size_t>(r));
            else if (r == 0 || (errno != EINTR && errno != EAGAIN)) fd.Close();
        }
    }
    return true;
}

bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + strerror(errno));
        if (RemainingMs(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

ProcessResult RunProcess(const std::string& exe, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& stdinText, int timeoutSeconds) {
    TPipe in, out, err;
    MakePipe(in);
    MakePipe(out);
    MakePipe(err);
    TSigPipeGuard sigPipe;
    pid_t pid = Spawn(exe, args, env, sigPipe.OldMask(), in, out, err);
    in.read.Close();
    out.write.Close();
    err.write.Close();

    ProcessResult result;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    bool inTime = Exchange(in, out, err, stdinText, result, deadline);
    int status = 0;
    if (inTime && WaitUntil(pid, deadline, status)) {
        result.exitCode = ExitCodeOf(status);
        return result;
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    result.exitCode = -1;
    result.err += "\n[RunProcess: killed after " + std::to_string(timeoutSeconds) + " s]\n";
    return result;
}
