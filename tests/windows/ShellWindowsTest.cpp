#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Shell.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

bool AppearsWithin(const fs::path& path, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

class ShellWindows : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_Dir); }
    void TearDown() override {
        // The started programs may still be on their way out.
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::error_code ec;
            fs::remove_all(m_Dir, ec);
            if (!ec) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    const fs::path m_Dir = fs::temp_directory_path() / (L"vxshell \u00e9-" + std::to_wstring(GetCurrentProcessId()));
};

TEST_F(ShellWindows, OpenRunsAFileInItsOwnFolder) {
    const fs::path script = m_Dir / L"app.bat";
    std::ofstream(script) << "@echo ran> marker.txt\r\n";
    ASSERT_TRUE(ShellOpen(Narrow(script.wstring())));
    EXPECT_TRUE(AppearsWithin(m_Dir / L"marker.txt", std::chrono::seconds(20)));
}

TEST_F(ShellWindows, SpawnPassesEachArgumentWhole) {
    const fs::path made = m_Dir / L"a folder \u00e7";
    ASSERT_TRUE(SpawnDetached({"cmd.exe", "/c", "mkdir", Narrow(made.wstring())}));
    EXPECT_TRUE(AppearsWithin(made, std::chrono::seconds(20)));
}

TEST_F(ShellWindows, WhatCannotBeStartedIsReported) {
    EXPECT_FALSE(ShellOpen(""));
    EXPECT_FALSE(ShellOpen(Narrow((m_Dir / L"missing.exe").wstring())));
    EXPECT_FALSE(SpawnDetached({}));
    EXPECT_FALSE(SpawnDetached({"no-such-program-vx"}));
}

}  // namespace
