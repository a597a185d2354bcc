#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/LogLine.h"
#include "platform/Shell.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The $PATH search happens before fork: after it only async-signal-safe calls
// are allowed, and execvp may allocate.
std::optional<std::string> ResolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
        candidate += '/';
        candidate.append(name);
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// Runs in the grandchild, between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecDetached(const char* program, char* const* argv, int errorPipe) {
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        if (devNull > STDERR_FILENO) ::close(devNull);
    }
    // Signal dispositions and the mask survive exec; the new program must not
    // inherit whatever the installer blocks or ignores.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
    ::execve(program, argv, environ);
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    const auto program = ResolveProgram(args[0]);
    if (!program) {
        AppendLog("SpawnDetached: not found: " + args[0]);
        return false;
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // The exec's errno comes back through this pipe; it closes on a successful
    // exec (O_CLOEXEC), so end-of-file means the program runs.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        AppendLog(std::string("SpawnDetached: pipe failed: ") + std::strerror(errno));
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        AppendLog(std::string("SpawnDetached: fork failed: ") + std::strerror(error));
        return false;
    }
    if (child == 0) {
        // The intermediate child starts a new session and leaves at once, so
        // the program is adopted by init (or the subreaper) and we never have
        // to reap it.
        ::close(fds[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) ExecDetached(program->c_str(), argv.data(), fds[1]);
        if (grandchild < 0) {
            const int error = errno;
            (void)!::write(fds[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    if (n > 0) {
        AppendLog("SpawnDetached: cannot start " + *program + ": " + std::strerror(execError));
        return false;
    }
    return true;
}

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    std::error_code ec;
    if (IsExecutableFile(target)) {
        // A bare file name would be looked up in $PATH; the target is a file here.
        const std::string path = target.find('/') == std::string::npos ? "./" + target : target;
        if (SpawnDetached({path})) return true;
        // The kernel cannot run it (a Windows image, say); the desktop may know
        // a program that can.
    }
    // A local file goes by absolute path, so that a name starting with "-"
    // cannot pass for an option of xdg-open.
    if (fs::exists(target, ec)) return SpawnDetached({"xdg-open", fs::absolute(target, ec).string()});
    return SpawnDetached({"xdg-open", target});
}
