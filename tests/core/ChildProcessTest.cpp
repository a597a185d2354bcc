#include <gtest/gtest.h>

#include <chrono>

#include "support/ChildProcess.h"

namespace {

struct ShellCase {
    const char* name;
    std::string script;
    std::string stdinText;
    int exitCode;
    std::string out, err;
};

class ChildProcessShell : public ::testing::TestWithParam<ShellCase> {};

TEST_P(ChildProcessShell, CapturesOutputsAndExitCode) {
    const auto& c = GetParam();
    auto r = RunProcess("/bin/sh", {"-c", c.script}, {{"VX_CHILD_TEST", "from-parent"}}, c.stdinText);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChildProcessShell,
    ::testing::Values(ShellCase{"Success", "echo hi", "", 0, "hi\n", ""},
                      ShellCase{"ExitCodeAndStderr", "echo oops >&2; exit 3", "", 3, "", "oops\n"},
                      ShellCase{"StdinReachesChild", "tr a-z A-Z", "abc\ndef", 0, "ABC\nDEF", ""},
                      ShellCase{"NoStdinIsEndOfFile", "cat; echo done", "", 0, "done\n", ""},
                      ShellCase{"ExtraEnvironment", "printf %s \"$VX_CHILD_TEST\"", "", 0, "from-parent", ""},
                      ShellCase{"InheritedEnvironment", "test -n \"$PATH\" && echo ok", "", 0, "ok\n", ""},
                      ShellCase{"KilledBySignal", "kill -TERM $$", "", 128 + 15, "", ""},
                      // The child ignores its input: writing to it must not kill the test.
                      ShellCase{"ChildClosesStdinEarly", "exec 0<&-; echo x", std::string(1 << 20, 'a'), 0,
                                "x\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChildProcess, LargeOutputOnBothStreamsDoesNotDeadlock) {
    auto r = RunProcess("/bin/sh", {"-c", "head -c 300000 /dev/zero; head -c 200000 /dev/zero >&2; echo end"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), 300000u + 4);
    EXPECT_EQ(r.err.size(), 200000u);
}

TEST(ChildProcess, OverrideReplacesInheritedValue) {
    setenv("VX_CHILD_OVERRIDE", "old", 1);
    auto r = RunProcess("/bin/sh", {"-c", "printf %s \"$VX_CHILD_OVERRIDE\""}, {{"VX_CHILD_OVERRIDE", "new"}});
    unsetenv("VX_CHILD_OVERRIDE");
    EXPECT_EQ(r.out, "new");
}

TEST(ChildProcess, TimeoutKillsChild) {
    auto start = std::chrono::steady_clock::now();
    auto r = RunProcess("/bin/sh", {"-c", "echo started; exec sleep 30"}, {}, "", 1);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_EQ(r.out, "started\n");
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(ChildProcess, MissingProgramThrows) {
    EXPECT_THROW(RunProcess("/nonexistent/vx-no-such-program", {}), std::runtime_error);
}

}  // namespace
