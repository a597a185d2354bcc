#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "base/EditionConstants.h"
#include "platform/Folders.h"
#include "platform/InstanceGuard.h"
#include "platform/LogLine.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRequest = "raise\n";
constexpr std::string_view kReply = "ok\n";
// How long either side waits for the other before giving up.
constexpr int kExchangeTimeoutMs = 3000;

std::string ErrnoText() { return std::strerror(errno); }

std::optional<sockaddr_un> SocketAddress(const fs::path& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof addr.sun_path) return std::nullopt;
    std::memcpy(addr.sun_path, text.c_str(), text.size() + 1);
    return addr;
}

// Waits until `fd` is readable; false on time-out, error, or when `stopFd`
// (if any) becomes readable first.
bool WaitReadable(int fd, int stopFd) {
    pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    int r;
    while ((r = ::poll(p, stopFd >= 0 ? 2 : 1, kExchangeTimeoutMs)) < 0 && errno == EINTR) {
    }
    return r > 0 && p[1].revents == 0 && (p[0].revents & (POLLIN | POLLHUP));
}

bool SendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(size_t(n));
    }
    return true;
}

// Reads until `expected` has arrived in full, the peer closes, time runs out
// or `stopFd` wakes up.
bool ReceiveExactly(int fd, std::string_view expected, int stopFd = -1) {
    std::string got;
    while (got.size() < expected.size()) {
        if (!WaitReadable(fd, stopFd)) return false;
        char buf[16];
        const ssize_t n = ::recv(fd, buf, std::min(sizeof buf, expected.size() - got.size()), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got.append(buf, size_t(n));
    }
    return got == expected;
}

// A private folder in the shared temporary folder is only trusted when it is
// a real folder of ours that nobody else may enter.
bool EnsurePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    if (::lstat(folder.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

class TFd {
public:
    explicit TFd(int fd) : m_nFd(fd) {}
    ~TFd() {
        if (m_nFd >= 0) ::close(m_nFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return m_nFd; }
    int Release() { return std::exchange(m_nFd, -1); }

private:
    int m_nFd;
};

}  // namespace

TInstanceGuard::TInstanceGuard() : m_strName(edition::strProductCode) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        m_Folder = runtime;
    } else {
        m_Folder = UserTempFolder() + m_strName + "-" + std::to_string(::getuid());
        m_bPrivateFolder = true;
    }
}

TInstanceGuard::TInstanceGuard(fs::path folder, std::string name) : m_Folder(std::move(folder)), m_strName(std::move(name)) {}

TInstanceGuard::~TInstanceGuard() {
    StopListening();
    if (m_bOwnsLock) {
        // Unlinked while still locked: an instance that opens the old file now
        // notices it is gone (TryAcquire compares the files) and starts over.
        ::unlink(LockPath().c_str());
    }
    if (m_nLockFd >= 0) ::close(m_nLockFd);
}

fs::path TInstanceGuard::LockPath() const { return m_Folder / (m_strName + ".lock"); }
fs::path TInstanceGuard::SocketPath() const { return m_Folder / (m_strName + ".sock"); }

bool TInstanceGuard::TryAcquire() {
    if (m_bOwnsLock) return true;
    if (m_bPrivateFolder && !EnsurePrivateFolder(m_Folder)) {
        AppendLog("TInstanceGuard.TryAcquire: unsafe or missing folder " + m_Folder.string() + ", running unguarded");
        m_bLockUnavailable = true;
        return true;
    }
    const fs::path path = LockPath();
    // The file may be unlinked by the instance that is ending between our open
    // and our lock; a lock on an unlinked file excludes nobody, so try again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        TFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (fd.Get() < 0) {
            AppendLog("TInstanceGuard.TryAcquire: cannot open " + path.string() + ": " + ErrnoText() +
                      ", running unguarded");
            m_bLockUnavailable = true;
            return true;
        }
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) return false;
            AppendLog("TInstanceGuard.TryAcquire: flock failed: " + ErrnoText() + ", running unguarded");
            m_bLockUnavailable = true;
            return true;
        }
        struct stat held{}, named{};
        if (::fstat(fd.Get(), &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            m_nLockFd = fd.Release();
            m_bOwnsLock = true;
            return true;
        }
    }
    AppendLog("TInstanceGuard.TryAcquire: lock file keeps changing, running unguarded");
    m_bLockUnavailable = true;
    return true;
}

bool TInstanceGuard::ListenForRaise(std::function<void()> onRaise) {
    if (m_Listener.joinable()) throw std::logic_error("TInstanceGuard.ListenForRaise: already listening");
    if (m_bLockUnavailable) return false;
    if (!m_bOwnsLock) throw std::logic_error("TInstanceGuard.ListenForRaise: lock not held");

    const fs::path path = SocketPath();
    const auto addr = SocketAddress(path);
    if (!addr) {
        AppendLog("TInstanceGuard.ListenForRaise: socket path too long: " + path.string());
        return false;
    }
    TFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.Get() < 0) {
        AppendLog("TInstanceGuard.ListenForRaise: socket failed: " + ErrnoText());
        return false;
    }
    // On Linux the socket file takes the socket's mode, so nobody else can
    // connect even for a moment; the chmod below covers other kernels.
    ::fchmod(listener.Get(), 0600);
    // Only the lock holder binds here, so whatever is left at this path comes
    // from an instance that ended without cleaning up.
    ::unlink(path.c_str());
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(listener.Get(), 4) != 0) {
        AppendLog("TInstanceGuard.ListenForRaise: cannot listen on " + path.string() + ": " + ErrnoText());
        ::unlink(path.c_str());
        return false;
    }
    if (::pipe2(m_WakeFds, O_CLOEXEC) != 0) {
        AppendLog("TInstanceGuard.ListenForRaise: pipe failed: " + ErrnoText());
        ::unlink(path.c_str());
        return false;
    }
    m_nListenFd = listener.Release();
    m_OnRaise = std::move(onRaise);
    m_Listener = std::thread([this] { ListenLoop(); });
    return true;
}

void TInstanceGuard::ListenLoop() {
    for (;;) {
        pollfd fds[2] = {{m_nListenFd, POLLIN, 0}, {m_WakeFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            AppendLog("TInstanceGuard.ListenLoop: poll failed: " + ErrnoText());
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        TFd client(::accept4(m_nListenFd, nullptr, nullptr, SOCK_CLOEXEC));
        if (client.Get() >= 0) Serve(client.Get());
    }
}

void TInstanceGuard::Serve(int client) {
    // Only a process of the same user may raise our window.
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::getuid()) return;
    if (!ReceiveExactly(client, kRequest, m_WakeFds[0])) return;
    try {
        if (m_OnRaise) m_OnRaise();
    } catch (const std::exception& e) {
        AppendLog(std::string("TInstanceGuard.ListenLoop: Exception=") + e.what());
        return;
    } catch (...) {
        AppendLog("TInstanceGuard.ListenLoop: unknown exception");
        return;
    }
    SendAll(client, kReply);
}

bool TInstanceGuard::RequestRaise() {
    const auto addr = SocketAddress(SocketPath());
    if (!addr) return false;
    TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) return false;
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
        AppendLog("TInstanceGuard.RequestRaise: cannot connect: " + ErrnoText());
        return false;
    }
    return SendAll(fd.Get(), kRequest) && ReceiveExactly(fd.Get(), kReply);
}

void TInstanceGuard::StopListening() {
    if (m_Listener.joinable()) {
        const char byte = 0;
        (void)!::write(m_WakeFds[1], &byte, 1);
        m_Listener.join();
        ::unlink(SocketPath().c_str());
    }
    for (int* fd : {&m_nListenFd, &m_WakeFds[0], &m_WakeFds[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}
