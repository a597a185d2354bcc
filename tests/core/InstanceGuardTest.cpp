#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "platform/InstanceGuard.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class InstanceGuard : public testing::Test {
protected:
    std::unique_ptr<TInstanceGuard> MakeGuard() { return std::make_unique<TInstanceGuard>(m_Dir.path(), "orladesk"); }

    // The answer of TryAcquire in a separate process, as a second program would see it.
    int AcquireInChild(bool holdUntilKilled = false) {
        const pid_t pid = fork();
        if (pid == 0) {
            TInstanceGuard guard(m_Dir.path(), "orladesk");
            const bool first = guard.TryAcquire();
            if (holdUntilKilled) {
                if (!first) _exit(3);
                // Lets the parent see the lock held, then dies without cleaning up.
                WriteFileText(m_Dir / "child-ready", "1");
                pause();
            }
            _exit(first ? 1 : 0);
        }
        return pid;
    }
    static int ExitCodeOf(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TempDir m_Dir;
};

TEST_F(InstanceGuard, SecondGuardInTheSameProcessIsRefusedLikeASecondProcess) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "asking again keeps the lock";
    auto second = MakeGuard();
    EXPECT_FALSE(second->TryAcquire());
    EXPECT_EQ(ExitCodeOf(AcquireInChild()), 0) << "another process must be refused too";
    first.reset();
    EXPECT_TRUE(second->TryAcquire()) << "the lock is free once the first guard is gone";
}

TEST_F(InstanceGuard, LockFileIsPrivateAndRemovedAtTheEnd) {
    {
        auto guard = MakeGuard();
        ASSERT_TRUE(guard->TryAcquire());
        EXPECT_EQ(guard->LockPath(), m_Dir / "orladesk.lock");
        struct stat st{};
        ASSERT_EQ(stat(guard->LockPath().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_TRUE(guard->ListenForRaise([] {}));
        ASSERT_EQ(lstat(guard->SocketPath().c_str(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_TRUE(fs::is_empty(m_Dir.path()));
}

TEST_F(InstanceGuard, RefusedGuardLeavesTheFirstOnesFilesAlone) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    ASSERT_TRUE(first->ListenForRaise([] {}));
    MakeGuard()->TryAcquire();
    EXPECT_TRUE(fs::exists(first->LockPath()));
    EXPECT_TRUE(fs::exists(first->SocketPath()));
    EXPECT_FALSE(MakeGuard()->TryAcquire());
}

TEST_F(InstanceGuard, RaiseRequestRunsTheCallbackOnTheListeningThread) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    std::atomic<int> calls{0};
    std::atomic<std::thread::id> callbackThread{};
    ASSERT_TRUE(first->ListenForRaise([&] {
        callbackThread = std::this_thread::get_id();
        ++calls;
    }));
    auto second = MakeGuard();
    ASSERT_FALSE(second->TryAcquire());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_EQ(calls.load(), 1) << "the answer comes after the callback ran";
    EXPECT_NE(callbackThread.load(), std::this_thread::get_id());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_EQ(calls.load(), 2);
}

TEST_F(InstanceGuard, RaiseWithoutAListenerFails) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_FALSE(MakeGuard()->RequestRaise()) << "first instance holds the lock but does not listen";
}

TEST_F(InstanceGuard, FailingCallbackIsNotAnsweredAndListeningGoesOn) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    std::atomic<int> calls{0};
    ASSERT_TRUE(first->ListenForRaise([&] {
        if (++calls == 1) throw std::runtime_error("window gone");
    }));
    auto second = MakeGuard();
    EXPECT_FALSE(second->RequestRaise());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_EQ(calls.load(), 2);
}

TEST_F(InstanceGuard, WrongRequestDoesNotRaise) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    std::atomic<int> calls{0};
    ASSERT_TRUE(first->ListenForRaise([&] { ++calls; }));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, first->SocketPath().c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(send(fd, "hello!", 6, MSG_NOSIGNAL), 6);
    char reply[8];
    EXPECT_EQ(recv(fd, reply, sizeof reply, 0), 0) << "closed without an answer";
    close(fd);
    EXPECT_EQ(calls.load(), 0);
}

TEST_F(InstanceGuard, DestructionDoesNotWaitForASilentClient) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    ASSERT_TRUE(first->ListenForRaise([] {}));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, first->SocketPath().c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the listener is now reading from us
    const auto start = std::chrono::steady_clock::now();
    first.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    close(fd);
}

TEST_F(InstanceGuard, CrashedInstanceLeavesNothingThatBlocks) {
    const pid_t holder = AcquireInChild(true);
    for (int i = 0; i < 500 && !fs::exists(m_Dir / "child-ready"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(m_Dir / "child-ready"));
    EXPECT_FALSE(MakeGuard()->TryAcquire()) << "held by the other process";
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    // A stale socket file from the dead instance, as bind leaves it.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, (m_Dir / "orladesk.sock").c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(stale);

    auto next = MakeGuard();
    ASSERT_TRUE(next->TryAcquire());
    std::atomic<int> calls{0};
    ASSERT_TRUE(next->ListenForRaise([&] { ++calls; }));
    EXPECT_TRUE(MakeGuard()->RequestRaise());
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(InstanceGuard, ListeningNeedsTheLock) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    auto second = MakeGuard();
    ASSERT_FALSE(second->TryAcquire());
    EXPECT_THROW(second->ListenForRaise([] {}), std::logic_error);
    ASSERT_TRUE(first->ListenForRaise([] {}));
    EXPECT_THROW(first->ListenForRaise([] {}), std::logic_error);
}

TEST_F(InstanceGuard, UnusableFolderRunsUnguarded) {
    TInstanceGuard guard(m_Dir / "missing", "orladesk");
    EXPECT_TRUE(guard.TryAcquire());
    EXPECT_FALSE(guard.ListenForRaise([] {}));
    EXPECT_FALSE(fs::exists(m_Dir / "missing"));
}

TEST_F(InstanceGuard, DefaultFolderIsTheRuntimeFolder) {
    TScopedEnv env("XDG_RUNTIME_DIR", m_Dir.path().c_str());
    TInstanceGuard guard;
    EXPECT_EQ(guard.LockPath(), m_Dir / "orladesk.lock");
    EXPECT_EQ(guard.SocketPath(), m_Dir / "orladesk.sock");
}

TEST_F(InstanceGuard, WithoutRuntimeFolderAPrivateFolderInTempIsUsed) {
    TScopedEnv env("XDG_RUNTIME_DIR", nullptr);
    env.Set("TMPDIR", m_Dir.path().c_str());
    const fs::path folder = m_Dir / ("orladesk-" + std::to_string(getuid()));
    {
        TInstanceGuard guard;
        EXPECT_EQ(guard.LockPath(), folder / "orladesk.lock");
        ASSERT_TRUE(guard.TryAcquire());
        struct stat st{};
        ASSERT_EQ(lstat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        TInstanceGuard second;
        EXPECT_FALSE(second.TryAcquire());
    }
    // A folder that others may write into is not trusted with the lock.
    fs::permissions(folder, fs::perms::all);
    TInstanceGuard guard;
    EXPECT_TRUE(guard.TryAcquire());
    EXPECT_FALSE(fs::exists(folder / "orladesk.lock"));
}

}  // namespace
