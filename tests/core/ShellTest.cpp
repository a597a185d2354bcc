#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Shell.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void WriteScript(const fs::path& path, const std::string& body) {
    WriteFileText(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

// The started program writes its marker on its own time; wait for the rename
// that completes it.
std::string WaitForMarker(const fs::path& marker) {
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(marker) ? ReadFileText(marker) : std::string();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A script that reports how it was started, one line each: its pid, its
// parent's pid, its session id, and where its stdin and stdout point.
std::string ReportingScript(const fs::path& marker) {
    const std::string tmp = "'" + marker.string() + ".tmp'";
    return "read -r stat < /proc/$$/stat\n"
           "set -- ${stat##*\\)}\n"
           "out=$(readlink /proc/$$/fd/1)\n"
           "{ echo $$; echo $2; echo $4; readlink /proc/$$/fd/0; echo \"$out\"; } > " + tmp + "\n"
           "mv " + tmp + " '" + marker.string() + "'\n";
}

// Pids of this process's children, from every thread's list.
std::vector<std::string> OwnChildren() {
    std::vector<std::string> pids;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::istringstream in(ReadFileText(task.path() / "children"));
        for (std::string pid; in >> pid;) pids.push_back(pid);
    }
    return pids;
}

class Shell : public testing::Test {
protected:
    void SetUp() override {
        // A stand-in for xdg-open, found first in PATH, so no real program opens anything.
        WriteScript(m_Bin / "xdg-open", "for a in \"$@\"; do echo \"$a\"; done > '" + (m_Dir / "opened.tmp").string() +
                                            "'\nmv '" + (m_Dir / "opened.tmp").string() + "' '" +
                                            (m_Dir / "opened").string() + "'\n");
        m_Env.Set("PATH", (m_Bin.path().string() + ":/usr/bin:/bin").c_str());
    }
    TempDir m_Dir;
    TempDir m_Bin;
    TScopedEnv m_Env;
};

TEST_F(Shell, ExecutableStartsDetachedInItsOwnSession) {
    const fs::path marker = m_Dir / "marker";
    WriteScript(m_Dir / "app.sh", ReportingScript(marker));
    ASSERT_TRUE(ShellOpen((m_Dir / "app.sh").string()));
    const auto lines = Lines(WaitForMarker(marker));
    ASSERT_EQ(lines.size(), 5u) << "the program did not run";
    EXPECT_NE(lines[1], std::to_string(getpid())) << "the program must not be our child";
    EXPECT_NE(lines[2], std::to_string(getsid(0))) << "the program must leave our session";
    EXPECT_EQ(lines[3], "/dev/null");
    EXPECT_EQ(lines[4], "/dev/null");
    EXPECT_FALSE(fs::exists(m_Dir / "opened")) << "an executable is not handed to xdg-open";
}

TEST_F(Shell, SpawnLeavesNoChildToReap) {
    const fs::path marker = m_Dir / "marker";
    WriteScript(m_Dir / "app.sh", ReportingScript(marker) + "sleep 1\n");
    ASSERT_TRUE(SpawnDetached({(m_Dir / "app.sh").string()}));
    const auto lines = Lines(WaitForMarker(marker));
    ASSERT_EQ(lines.size(), 5u);
    // While the program still runs, neither it nor the intermediate child
    // (reaped before SpawnDetached returned) is among our children.
    for (const auto& pid : OwnChildren()) {
        EXPECT_NE(pid, lines[0]);
        EXPECT_EQ(ReadFileText("/proc/" + pid + "/stat").find(") Z "), std::string::npos) << "zombie child " << pid;
    }
}

TEST_F(Shell, WebAddressGoesToXdgOpenUnchanged) {
    const std::string url = "https://www.orladesk.invalid/contrato-vantix?a=1&b=2";
    ASSERT_TRUE(ShellOpen(url));
    EXPECT_EQ(Lines(WaitForMarker(m_Dir / "opened")), std::vector<std::string>{url});
}

TEST_F(Shell, DocumentGoesToXdgOpenByAbsolutePath) {
    WriteFileText(m_Dir / "-leia me.txt", "text");
    const fs::path old = fs::current_path();
    fs::current_path(m_Dir.path());
    const bool started = ShellOpen("-leia me.txt");
    fs::current_path(old);
    ASSERT_TRUE(started);
    EXPECT_EQ(Lines(WaitForMarker(m_Dir / "opened")), std::vector<std::string>{(m_Dir / "-leia me.txt").string()});
}

TEST_F(Shell, ExecutableTheKernelCannotRunGoesToXdgOpen) {
    WriteFileText(m_Dir / "vantixchart.exe", "MZ not for this kernel");
    fs::permissions(m_Dir / "vantixchart.exe", fs::perms::owner_all);
    ASSERT_TRUE(ShellOpen((m_Dir / "vantixchart.exe").string()));
    EXPECT_EQ(Lines(WaitForMarker(m_Dir / "opened")), std::vector<std::string>{(m_Dir / "vantixchart.exe").string()});
}

TEST_F(Shell, FailuresToStartAreReported) {
    WriteFileText(m_Dir / "garbage.bin", "\x7f" "ELF not really");
    fs::permissions(m_Dir / "garbage.bin", fs::perms::owner_all);
    EXPECT_FALSE(SpawnDetached({(m_Dir / "garbage.bin").string()})) << "exec failure must be seen";
    EXPECT_FALSE(SpawnDetached({"no-such-program-vx"}));
    EXPECT_FALSE(SpawnDetached({}));
    EXPECT_FALSE(ShellOpen(""));
    TScopedEnv noXdgOpen("PATH", "/nonexistent");
    EXPECT_FALSE(ShellOpen("https://www.orladesk.invalid/"));
}

}  // namespace
