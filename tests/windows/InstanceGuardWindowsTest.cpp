#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/InstanceGuard.h"

namespace {

// A name no other test run uses, so that parallel runs do not see each other's guards.
std::string UniqueName() {
    static std::atomic<int> s_nCounter{0};
    return "vxguardtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_nCounter);
}

class InstanceGuardWindows : public testing::Test {
protected:
    std::unique_ptr<TInstanceGuard> MakeGuard() { return std::make_unique<TInstanceGuard>(m_strName); }
    const std::string m_strName = UniqueName();
};

TEST_F(InstanceGuardWindows, SecondGuardSeesTheFirstAndMayTakeOverOnceItIsGone) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "asking again keeps the lock";
    auto second = MakeGuard();
    EXPECT_FALSE(second->TryAcquire());
    EXPECT_TRUE(TInstanceGuard(UniqueName()).TryAcquire()) << "another name is another guard";
    first.reset();
    EXPECT_TRUE(second->TryAcquire()) << "the mutex is free once the first guard is gone";
    EXPECT_FALSE(MakeGuard()->TryAcquire());
}

TEST_F(InstanceGuardWindows, RaiseRunsTheCallbackOnTheListeningThreadAndIsAnswered) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    std::atomic<int> calls{0};
    std::atomic<DWORD> callbackThread{0};
    ASSERT_TRUE(first->ListenForRaise([&] {
        callbackThread = GetCurrentThreadId();
        ++calls;
    }));
    auto second = MakeGuard();
    ASSERT_FALSE(second->TryAcquire());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_EQ(calls, 2);
    EXPECT_NE(callbackThread, GetCurrentThreadId());
}

TEST_F(InstanceGuardWindows, FailingCallbackIsNotAnsweredAndListeningGoesOn) {
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    std::atomic<int> calls{0};
    ASSERT_TRUE(first->ListenForRaise([&] {
        if (++calls == 1) throw std::runtime_error("window gone");
    }));
    auto second = MakeGuard();
    EXPECT_FALSE(second->RequestRaise());
    EXPECT_TRUE(second->RequestRaise());
    EXPECT_EQ(calls, 2);
}

TEST_F(InstanceGuardWindows, RaiseFailsWithoutAListeningFirstInstance) {
    EXPECT_FALSE(MakeGuard()->RequestRaise()) << "nobody there";
    auto first = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_FALSE(MakeGuard()->RequestRaise()) << "first instance holds the lock but does not listen";
    ASSERT_TRUE(first->ListenForRaise([] {}));
    first.reset();
    EXPECT_FALSE(MakeGuard()->RequestRaise()) << "the window went with its guard";
}

TEST_F(InstanceGuardWindows, ListeningNeedsTheLockAndHappensOnce) {
    auto first = MakeGuard();
    auto second = MakeGuard();
    ASSERT_TRUE(first->TryAcquire());
    ASSERT_FALSE(second->TryAcquire());
    EXPECT_THROW(second->ListenForRaise([] {}), std::logic_error);
    ASSERT_TRUE(first->ListenForRaise([] {}));
    EXPECT_THROW(first->ListenForRaise([] {}), std::logic_error);
}

TEST_F(InstanceGuardWindows, UnusableNameRunsUnguarded) {
    // A back-slash names a kernel namespace that does not exist.
    TInstanceGuard guard("no-such-namespace\\" + m_strName);
    EXPECT_TRUE(guard.TryAcquire());
    EXPECT_FALSE(guard.ListenForRaise([] {}));
}

// The real case: a second program. The death test's child runs this test again
// from its start, so it learns the first guard's name from the environment and
// only plays the second instance: exit 1 when refused and answered.
TEST(InstanceGuardWindowsProcesses, SecondProgramIsRefusedAndRaisesTheFirst) {
    constexpr char kNameVariable[] = "VX_GUARD_TEST_FIRST";
    if (const char* first = std::getenv(kNameVariable); first && *first) {
        TInstanceGuard second{std::string(first)};
        std::exit(!second.TryAcquire() && second.RequestRaise() ? 1 : 0);
    }
    const std::string name = UniqueName();
    TInstanceGuard first(name);
    ASSERT_TRUE(first.TryAcquire());
    std::atomic<int> calls{0};
    ASSERT_TRUE(first.ListenForRaise([&] { ++calls; }));
    _putenv_s(kNameVariable, name.c_str());
    EXPECT_EXIT(std::exit(0), testing::ExitedWithCode(1), "");
    _putenv_s(kNameVariable, "");
    EXPECT_EQ(calls, 1);
}

}  // namespace
