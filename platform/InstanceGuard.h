#pragma once
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

// The single-instance guard: one installer per user session. The first
// instance holds an flock lock on "<name>.lock" in its folder for the guard's
// life and listens on the local socket "<name>.sock" beside it, by which a
// later instance asks it to raise its window before that later one exits.
//
// flock belongs to the open file, so two guards in one process exclude each
// other exactly as two processes do. The lock is released, and the files the
// guard created are removed, when the guard is destroyed; a crashed instance
// releases its lock with its process, and the next first instance replaces
// its stale socket.
//
// On Windows the lock is the named mutex "<name>" of the user's session and
// the raise request a registered message sent to a hidden message window of
// the first instance, named "<name>"; there are no files.
//
// Not thread-safe: create, use and destroy a guard on one thread. The raise
// callback runs on the guard's own listening thread.
class TInstanceGuard {
public:
    // The guard's folder: $XDG_RUNTIME_DIR when set; otherwise a folder
    // "<name>-<uid>" of mode 0700 inside the temporary folder, because the
    // shared /tmp would let other users plant or hold the lock and socket.
    TInstanceGuard();
#ifdef _WIN32
    explicit TInstanceGuard(std::string name);
#else
    TInstanceGuard(std::filesystem::path folder, std::string name);
#endif
    ~TInstanceGuard();
    TInstanceGuard(const TInstanceGuard&) = delete;
    TInstanceGuard& operator=(const TInstanceGuard&) = delete;

    // True when this is the first instance (the lock is now held by this
    // guard). False when another instance holds it. When no lock can be made at
    // all (the folder is unusable) the failure is logged and the answer is
    // true: not knowing is no reason to refuse to run.
    bool TryAcquire();

    // First instance only (after TryAcquire gave true): starts the listening
    // thread. `onRaise` runs on that thread for every raise request, so a
    // window must post itself a message rather than touch its widgets there.
    // Returns false, logged, when the socket cannot be set up; throws
    // std::logic_error when the lock is not held or it already listens.
    bool ListenForRaise(std::function<void()> onRaise);

    // Second instance: asks the first to raise its window. True when the first
    // instance ran its callback and answered, within a few seconds.
    bool RequestRaise();

#ifndef _WIN32
    std::filesystem::path LockPath() const;
    std::filesystem::path SocketPath() const;
#endif

private:
    void StopListening();
#ifdef _WIN32
    void ListenLoop(void* hReady);

    std::string m_strName;
    void* m_hMutex = nullptr;
    void* m_hWindow = nullptr;  // the listening thread's message window
    bool m_bOwnsLock = false;
    bool m_bLockUnavailable = false;
#else
    void ListenLoop();
    void Serve(int client);

    std::filesystem::path m_Folder;
    std::string m_strName;
    int m_nLockFd = -1;
    bool m_bOwnsLock = false;
    bool m_bLockUnavailable = false;
    bool m_bPrivateFolder = false;  // the guard makes and checks its folder
    int m_nListenFd = -1;
    int m_WakeFds[2] = {-1, -1};
#endif
    std::function<void()> m_OnRaise;
    std::thread m_Listener;
};
