#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, size_t count) { WriteFileText(path, std::string(count, 'x')); }

// A tree with known sizes: 100 + 20 at the top, 1000 in sub/, 5 in sub/deep/,
// 7000 in .hidden/ (not entered), 3 in the dot file .cfg (counted).
class FolderSizeFixture : public testing::Test {
protected:
    void SetUp() override {
        WriteBytes(m_Dir / "a.bin", 100);
        WriteBytes(m_Dir / "b.txt", 20);
        WriteBytes(m_Dir / ".cfg", 3);
        WriteBytes(m_Dir / "sub" / "c.bin", 1000);
        WriteBytes(m_Dir / "sub" / "deep" / "d.bin", 5);
        WriteBytes(m_Dir / ".hidden" / "e.bin", 7000);
        WriteBytes(m_Outside / "big.bin", 50000);
        fs::create_symlink(m_Outside / "big.bin", m_Dir / "link-to-file");
        fs::create_directory_symlink(m_Outside.path(), m_Dir / "link-to-folder");
    }
    TempDir m_Dir;
    TempDir m_Outside;
};

TEST_F(FolderSizeFixture, RecursiveSumSkipsDotFoldersAndLinks) {
    EXPECT_EQ(GetFolderSize(m_Dir.path(), true), 100u + 20u + 3u + 1000u + 5u);
}

TEST_F(FolderSizeFixture, FlatSumCountsOnlyTopLevelFiles) { EXPECT_EQ(GetFolderSize(m_Dir.path(), false), 123u); }

TEST_F(FolderSizeFixture, TrailingSeparatorMakesNoDifference) {
    EXPECT_EQ(GetFolderSize(m_Dir.path().string() + "/", true), 1128u);
}

TEST(FolderSize, MissingOrEmptyFolderIsZero) {
    TempDir dir;
    EXPECT_EQ(GetFolderSize(dir.path(), true), 0u);
    EXPECT_EQ(GetFolderSize(dir / "missing", true), 0u);
}

TEST(FolderSize, UnreadableSubFolderAddsNothingButTheRestCounts) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    TempDir dir;
    WriteBytes(dir / "ok.bin", 10);
    WriteBytes(dir / "locked" / "x.bin", 99);
    fs::permissions(dir / "locked", fs::perms::none);
    EXPECT_EQ(GetFolderSize(dir.path(), true), 10u);
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(DeleteFolderSilently, RemovesWholeTree) {
    TempDir dir;
    WriteBytes(dir / "t" / "a" / "b" / "c.bin", 10);
    WriteBytes(dir / "t" / ".hidden", 1);
    EXPECT_TRUE(DeleteFolderSilently(dir / "t"));
    EXPECT_FALSE(fs::exists(dir / "t"));
}

TEST(DeleteFolderSilently, MissingFolderIsNoSuccess) {
    TempDir dir;
    EXPECT_FALSE(DeleteFolderSilently(dir / "missing"));
}

TEST(DeleteFolderSilently, RemovesLinkButNotItsTarget) {
    TempDir dir, outside;
    WriteBytes(outside / "keep.bin", 10);
    fs::create_directory(dir / "t");
    fs::create_directory_symlink(outside.path(), dir / "t" / "link");
    EXPECT_TRUE(DeleteFolderSilently(dir / "t"));
    EXPECT_FALSE(fs::exists(dir / "t"));
    EXPECT_TRUE(fs::exists(outside / "keep.bin"));
}

// Makes `file` undeletable: the immutable flag where we may set it (root on
// ext4), else a read-only parent folder (any other user). False when neither works.
bool MakeUndeletable(const fs::path& file, bool on) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        int flags = 0;
        bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        if (done) return true;
    }
    if (geteuid() == 0) return false;
    fs::permissions(file.parent_path(), on ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return true;
}

TEST(DeleteFolderSilently, FailureIsReportedNotThrown) {
    TempDir dir;
    const fs::path stuck = dir / "t" / "locked" / "x.bin";
    WriteBytes(stuck, 1);
    if (!MakeUndeletable(stuck, true)) GTEST_SKIP() << "cannot make a file undeletable here";
    const bool removed = DeleteFolderSilently(dir / "t");
    const bool stillThere = fs::exists(stuck);
    MakeUndeletable(stuck, false);
    EXPECT_FALSE(removed);
    EXPECT_TRUE(stillThere);
}

TEST(RenameFolder, MovesWholeTreeInOneStep) {
    TempDir dir;
    WriteBytes(dir / "from" / "sub" / "a.bin", 10);
    std::error_code ec;
    EXPECT_TRUE(RenameFolder(dir / "from", dir / "to", ec)) << ec.message();
    EXPECT_FALSE(fs::exists(dir / "from"));
    EXPECT_EQ(fs::file_size(dir / "to" / "sub" / "a.bin"), 10u);
}

TEST(RenameFolder, ExistingTargetIsLeftAloneEvenWhenEmpty) {
    TempDir dir;
    WriteBytes(dir / "from" / "a.bin", 10);
    fs::create_directory(dir / "empty");
    WriteBytes(dir / "full" / "old.bin", 3);
    std::error_code ec;
    EXPECT_FALSE(RenameFolder(dir / "from", dir / "empty", ec));
    EXPECT_TRUE(ec);
    EXPECT_FALSE(RenameFolder(dir / "from", dir / "full"));
    EXPECT_TRUE(fs::exists(dir / "from" / "a.bin"));
    EXPECT_TRUE(fs::is_empty(dir / "empty"));
    EXPECT_TRUE(fs::exists(dir / "full" / "old.bin"));
    EXPECT_FALSE(fs::exists(dir / "full" / "a.bin"));
}

TEST(RenameFolder, MissingSourceFails) {
    TempDir dir;
    std::error_code ec;
    EXPECT_FALSE(RenameFolder(dir / "missing", dir / "to", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "to"));
}

}  // namespace

TEST(FlushFileSystem, FlushesAFolderAndReportsAMissingOne) {
    TempDir dir;
    std::error_code ec;
    EXPECT_TRUE(FlushFileSystem(dir.path(), ec)) << ec.message();
    EXPECT_FALSE(FlushFileSystem(dir.path() / "missing", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
}
