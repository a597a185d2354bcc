#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/AppendOnlyFile.h"
#include "platform/FileSystem.h"
#include "platform/PartFile.h"
#include "platform/SequentialFile.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// An open handle as a running program holds its files: no sharing of delete.
HANDLE HoldOpen(const fs::path& path) {
    return CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(RenameWindows, NoReplaceRefusesAnExistingTargetAndMovesOtherwise) {
    TempDir dir;
    WriteFileText(dir / "new.bin", "new");
    WriteFileText(dir / "old.bin", "old");
    std::error_code ec;
    EXPECT_FALSE(RenameNoReplace(dir / "new.bin", dir / "old.bin", ec));
    EXPECT_EQ(ec, std::errc::file_exists) << ec.message();
    EXPECT_EQ(ReadFileText(dir / "old.bin"), "old");
    EXPECT_EQ(ReadFileText(dir / "new.bin"), "new");
    EXPECT_TRUE(RenameNoReplace(dir / "new.bin", dir / "moved.bin", ec)) << ec.message();
    EXPECT_EQ(ReadFileText(dir / "moved.bin"), "new");
    EXPECT_FALSE(fs::exists(dir / "new.bin"));
}

TEST(RenameWindows, FolderRenameRefusesAnExistingFolderEvenWhenEmpty) {
    TempDir dir;
    WriteFileText(dir / "from" / "sub" / "a.bin", "a");
    fs::create_directory(dir / "empty");
    std::error_code ec;
    EXPECT_FALSE(RenameFolder(dir / "from", dir / "empty", ec));
    EXPECT_TRUE(ec);
    EXPECT_TRUE(fs::is_empty(dir / "empty"));
    EXPECT_FALSE(RenameFolder(dir / "missing", dir / "to", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(RenameFolder(dir / "from", dir / "to", ec)) << ec.message();
    EXPECT_EQ(ReadFileText(dir / "to" / "sub" / "a.bin"), "a");
}

TEST(PartFileWindows, CommitReplacesTheFinalFileAndLeavesNoTemporaryName) {
    TempDir dir;
    const fs::path target = dir / "vantixchart.exe";
    WriteFileText(target, "old version");
    std::string name;
    {
        TPartFile part(target, ".part", 0644);
        name = part.Name();
        EXPECT_TRUE(name.starts_with(target.string() + ".")) << name;
        EXPECT_TRUE(name.ends_with(".part")) << name;
        EXPECT_EQ(name.size(), target.string().size() + 1 + 6 + 5);
        part.Write("new ", 4);
        part.Write("version", 7);
        EXPECT_EQ(part.Written(), 11u);
        EXPECT_EQ(ReadFileText(name), "new version") << "the data can be read back for its check before the commit";
        part.Flush();
        part.Commit();
    }
    EXPECT_EQ(ReadFileText(target), "new version");
    EXPECT_FALSE(fs::exists(name));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(PartFileWindows, UncommittedOrRefusedFileLeavesTheOldOneAlone) {
    TempDir dir;
    const fs::path target = dir / "lib.dll";
    WriteFileText(target, "old");
    {
        TPartFile part(target, ".part", 0644);
        part.Write("half", 4);
    }
    EXPECT_EQ(ReadFileText(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "part file removed";

    HANDLE hHeld = HoldOpen(target);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    {
        TPartFile part(target, ".part", 0644);
        part.Write("new", 3);
        EXPECT_THROW(part.Commit(), EFCreateError) << "a file in use cannot be replaced";
    }
    CloseHandle(hHeld);
    EXPECT_EQ(ReadFileText(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_THROW(TPartFile(dir / "missing" / "x.bin", ".part", 0644), EFCreateError);
}

TEST(AppendOnlyFileWindows, OthersMayReadWhileItIsWrittenButNotWriteOrTakeIt) {
    TempDir dir;
    const fs::path path = dir / "run.log";
    WriteFileText(path, "stale record of an ended run");
    EXPECT_FALSE(TAppendOnlyFile::IsHeld(path));
    TAppendOnlyFile log;
    ASSERT_TRUE(log.Create(path));
    log.Append("one\r\n");
    log.Append("two\r\n");
    EXPECT_EQ(ReadFileText(path), "one\r\ntwo\r\n") << "the stale file was replaced and the log is readable";
    EXPECT_TRUE(TAppendOnlyFile::IsHeld(path));
    HANDLE hWriter = CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(hWriter, INVALID_HANDLE_VALUE) << "another writer is refused";
    if (hWriter != INVALID_HANDLE_VALUE) CloseHandle(hWriter);
    TAppendOnlyFile second;
    EXPECT_FALSE(second.Create(path)) << "a held log is never removed";
    log.Append("three\r\n");
    log.Close();
    EXPECT_EQ(ReadFileText(path), "one\r\ntwo\r\nthree\r\n");
    EXPECT_FALSE(TAppendOnlyFile::IsHeld(path));
    EXPECT_TRUE(second.Create(path));
}

TEST(SequentialFileWindows, ReadingDoesNotStopOthersAndFactsFollowTheFile) {
    TempDir dir;
    const fs::path path = dir / "package.bin";
    WriteFileText(path, std::string(5000, 'x'));
    TSequentialFile file;
    std::error_code ec;
    ASSERT_TRUE(file.Open(path, ec)) << ec.message();
    char buffer[4096];
    EXPECT_EQ(file.Read(buffer, ec), 4096);
    TFileFacts facts;
    ASSERT_TRUE(ReadFileFacts(path, facts, ec)) << ec.message();
    EXPECT_EQ(facts.nSize, 5000u);
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(facts.nModifiedSeconds - now), 120);
    EXPECT_TRUE(DeleteFileW(path.wstring().c_str())) << "an open reader does not keep the file";
    EXPECT_FALSE(file.Open(dir / "missing.bin", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(file.Read(buffer, ec), -1);
    EXPECT_FALSE(ReadFileFacts(dir / "missing.bin", facts, ec));
}

TEST(FolderTreeWindows, DeleteRemovesReadOnlyFilesAndSizeSkipsDotFolders) {
    TempDir dir;
    WriteFileText(dir / "t" / "a" / "b.bin", "b");
    WriteFileText(dir / "t" / ".hidden" / "c.bin", "ccc");
    WriteFileText(dir / "t" / ".cfg", "12");
    SetFileAttributesW((dir / "t" / "a" / "b.bin").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFolderSize(dir / "t", true), 3u) << "dot folders are not entered, dot files count";
    EXPECT_EQ(GetFolderSize(dir.path().string() + "\\t\\a\\", false), 1u);
    EXPECT_TRUE(DeleteFolderSilently(dir / "t"));
    EXPECT_FALSE(fs::exists(dir / "t"));
    EXPECT_FALSE(DeleteFolderSilently(dir / "t")) << "nothing there is no success";
}

// A link inside the tree leads out of it: removing or measuring the tree must
// never reach what it points to.
TEST(FolderTreeWindows, LinkToAFolderOutsideIsNeitherFollowedNorCounted) {
    TempDir dir, outside;
    WriteFileText(outside / "keep.bin", "keep");
    WriteFileText(dir / "t" / "a.bin", "a");
    const fs::path link = dir / "t" / "link";
    CreateSymbolicLinkW(link.wstring().c_str(), outside.path().wstring().c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD nAttributes = GetFileAttributesW(link.wstring().c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || !(nAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "this system made no folder link for this user (Wine, or no developer mode)";
    EXPECT_EQ(GetFolderSize(dir / "t", true), 1u);
    EXPECT_TRUE(DeleteFolderSilently(dir / "t"));
    EXPECT_FALSE(fs::exists(dir / "t"));
    EXPECT_EQ(ReadFileText(outside / "keep.bin"), "keep");
}

TEST(FolderTreeWindows, FlushAndFreeSpaceAnswerForFoldersThatExistOrWillExist) {
    TempDir dir;
    WriteFileText(dir / "sub" / "a.bin", "a");
    std::error_code ec;
    EXPECT_TRUE(FlushFileSystem(dir.path(), ec)) << ec.message();
    EXPECT_FALSE(FlushFileSystem(dir / "missing", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    const uint64_t nFree = FreeDiskBytes(dir.path());
    EXPECT_GT(nFree, 0u);
    EXPECT_NE(nFree, UINT64_MAX);
    EXPECT_NE(FreeDiskBytes(dir / "not" / "yet" / "made"), UINT64_MAX);
    EXPECT_NE(FreeDiskBytes(dir / "sub" / "a.bin"), UINT64_MAX);
}

}  // namespace
