#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "app/StartupFolder.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A user's temporary folder shared with others, and a victim folder that a
// link planted under the run's folder name points at.
class StartupFolderTest : public ::testing::Test {
protected:
    StartupFolderTest() {
        fs::create_directories(m_Temp / "victim");
        WriteFileText(m_Temp / "victim" / "precious.txt", "keep");
    }
    std::string TempPath() const { return m_Temp.path().string() + "/"; }
    fs::path Expected() const { return fs::path(TempPath() + "Corvane_" + TStartupFolder::StartStamp(m_Start)); }
    bool VictimIntact() const { return ReadFileText(m_Temp / "victim" / "precious.txt") == "keep"; }

    LogCapture m_Log;
    TempDir m_Temp;
    TScopedEnv m_Env{"TMPDIR", m_Temp.path().c_str()};
    std::chrono::system_clock::time_point m_Start = std::chrono::system_clock::now();
};

TEST_F(StartupFolderTest, FreeNameIsCreatedPrivateAndRemoved) {
    TStartupFolder folder(m_Start);
    folder.Create();
    EXPECT_EQ(folder.Path(), Expected().string() + "/");
    struct stat st {};
    ASSERT_EQ(lstat(Expected().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    folder.Remove();
    EXPECT_FALSE(fs::exists(fs::symlink_status(Expected())));
}

// The name is taken before the run: a folder a killed run left behind, or a
// link to someone else's folder. The run makes a folder of its own and
// removes only that.
TEST_F(StartupFolderTest, TakenNameGetsAUniqueFolderAndWhatWasThereStays) {
    const std::vector<std::pair<const char*, std::function<void(const fs::path&)>>> cases = {
        {"folder of a killed run", [](const fs::path& p) { fs::create_directory(p), WriteFileText(p / "x", "x"); }},
        {"link to a victim folder", [this](const fs::path& p) { fs::create_directory_symlink(m_Temp / "victim", p); }},
        {"dangling link", [this](const fs::path& p) { fs::create_symlink(m_Temp / "nowhere", p); }},
    };
    for (const auto& [what, plant] : cases) {
        plant(Expected());
        TStartupFolder folder(m_Start);
        folder.Create();
        const fs::path made = fs::path(folder.Path()).parent_path();
        EXPECT_TRUE(made.filename().string().starts_with(Expected().filename().string() + "_")) << what;
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(made))) << what;
        folder.Remove();
        EXPECT_FALSE(fs::exists(fs::symlink_status(made))) << what;
        EXPECT_TRUE(fs::exists(fs::symlink_status(Expected()))) << what;
        EXPECT_TRUE(VictimIntact()) << what;
        fs::remove_all(Expected());
    }
    EXPECT_FALSE(m_Log.Contains("Except"));
}

TEST_F(StartupFolderTest, FolderReplacedByALinkIsNotRemovedThroughIt) {
    TStartupFolder folder(m_Start);
    folder.Create();
    fs::rename(Expected(), m_Temp / "moved");
    fs::create_directory_symlink(m_Temp / "victim", Expected());
    folder.Remove();
    EXPECT_TRUE(VictimIntact());
    EXPECT_TRUE(fs::is_symlink(Expected()));
    EXPECT_TRUE(m_Log.Contains("Installer.DPR: Folder " + folder.Path() + " is no longer the one this run created"));
}

TEST_F(StartupFolderTest, FailedCreationIsLoggedAndNothingIsRemovedLater) {
    const fs::path missing = m_Temp / "missing";
    TScopedEnv env("TMPDIR", missing.c_str());
    TStartupFolder folder(m_Start);
    folder.Create();
    EXPECT_TRUE(m_Log.Contains("Installer.DPR: Except: Cannot create folder " + folder.Path()));
    // Someone else's folder appears under the name meanwhile.
    fs::create_directories(folder.Path());
    WriteFileText(fs::path(folder.Path()) / "theirs.txt", "theirs");
    folder.Remove();
    EXPECT_EQ(ReadFileText(fs::path(folder.Path()) / "theirs.txt"), "theirs");
}

}  // namespace
