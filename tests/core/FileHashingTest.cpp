#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "support/TestZip.h"
#include "workers/FileHashing.h"

namespace {

const std::string kAbcMd5 = "900150983CD24FB0D6963F7D28E17F72";

TEST(FileHashing, Md5OfKnownContentsIsUpperCaseHex) {
    TempDir dir;
    WriteFileText(dir / "abc.txt", "abc");
    WriteFileText(dir / "empty.txt", "");
    EXPECT_EQ(GetFileMD5(dir / "abc.txt"), kAbcMd5);
    EXPECT_EQ(GetFileMD5(dir / "empty.txt"), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(FileHashing, Md5OfAFileLargerThanTheReadBufferCoversEveryByte) {
    TempDir dir;
    std::string data;
    for (int i = 0; data.size() < 700 * 1024 + 17; ++i) data += std::to_string(i * 7919) + ",";
    WriteFileText(dir / "big.bin", data);
    EXPECT_EQ(GetFileMD5(dir / "big.bin"), Md5Upper(data));
    data.back() = '!';
    WriteFileText(dir / "big.bin", data);
    EXPECT_EQ(GetFileMD5(dir / "big.bin"), Md5Upper(data));
}

TEST(FileHashing, Md5OfAMissingFileIsEmptyAndOfAnUnreadableOneThrows) {
    TempDir dir;
    EXPECT_EQ(GetFileMD5(dir / "missing.bin"), "");
    // A folder exists but cannot be read as a file (chmod would not stop root).
    std::filesystem::create_directory(dir / "folder");
    EXPECT_THROW(GetFileMD5(dir / "folder"), std::runtime_error);
}

struct TValidateCase {
    const char* label;
    bool bFileExists;
    std::string strRemote;
    bool bExpected;
    std::string strLineStart;  // everything up to the details of a mismatch
    bool bDetails;             // " Modified at: ... File size: ... bytes" follows
};

TEST(FileHashing, ValidateMD5HashMatchRuleAndLogLine) {
    const std::string missing = "No such file or directory";
    const std::vector<TValidateCase> cases = {
        {"same text", true, kAbcMd5, true, "ValidateMD5Hash: File=a.txt Remote=" + kAbcMd5 + " True Local=" + kAbcMd5,
         false},
        {"lower-case remote", true, "900150983cd24fb0d6963f7d28e17f72", true,
         "ValidateMD5Hash: File=a.txt Remote=900150983cd24fb0d6963f7d28e17f72 True Local=" + kAbcMd5, false},
        {"other digest", true, "00000000000000000000000000000000", false,
         "ValidateMD5Hash: File=a.txt Remote=00000000000000000000000000000000 False Local=" + kAbcMd5, true},
        {"empty remote, file present", true, "", false, "ValidateMD5Hash: File=a.txt Remote= False Local=" + kAbcMd5,
         true},
        {"missing file", false, kAbcMd5, false, "ValidateMD5Hash: File=a.txt Remote=" + kAbcMd5 + " False Local=",
         true},
        {"missing file, empty remote", false, "", true, "ValidateMD5Hash: File=a.txt Remote= True Local=", false},
    };
    for (const TValidateCase& c : cases) {
        SCOPED_TRACE(c.label);
        LogCapture log;
        TempDir dir;
        if (c.bFileExists) WriteFileText(dir / "a.txt", "abc");
        EXPECT_EQ(ValidateMD5Hash(dir / "a.txt", c.strRemote), c.bExpected);
        const auto lines = log.Matching("ValidateMD5Hash");
        ASSERT_EQ(lines.size(), 1u);
        if (!c.bDetails) {
            EXPECT_EQ(lines[0], c.strLineStart);
        } else if (c.bFileExists) {
            EXPECT_EQ(lines[0], c.strLineStart + " Modified at: " + GetFileModifiedTime(dir / "a.txt") +
                                    " File size: 3 bytes");
        } else {
            EXPECT_EQ(lines[0], c.strLineStart + " Modified at: " + missing + " File size: " + missing + " bytes");
        }
    }
}

TEST(FileHashing, ValidateMD5HashOfAnUnreadableFileLogsTheExceptionAndAnswersFalse) {
    LogCapture log;
    TempDir dir;
    std::filesystem::create_directory(dir / "a.txt");
    EXPECT_FALSE(ValidateMD5Hash(dir / "a.txt", "ABC"));
    const auto lines = log.Matching("ValidateMD5Hash");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ValidateMD5Hash: Exception validating file MD5. Remote=ABCException = ", 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("Is a directory"), std::string::npos) << lines[0];
}

TEST(FileHashing, ModifiedTimeIsLocalDayMonthYear) {
    TempDir dir;
    WriteFileText(dir / "f.txt", "x");
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 4;  // May
    local.tm_mday = 4;
    local.tm_hour = 13;
    local.tm_min = 2;
    local.tm_sec = 1;
    local.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "f.txt").c_str(), times, 0), 0);
    EXPECT_EQ(GetFileModifiedTime(dir / "f.txt"), "04/05/2023 13:02:01");
    EXPECT_EQ(GetFileModifiedTime(dir / "none.txt"), "No such file or directory");
}

TEST(FileHashing, SizeTextKeepsTheLow32Bits) {
    TempDir dir;
    WriteFileText(dir / "small.bin", "12345");
    EXPECT_EQ(GetFileSizeText(dir / "small.bin"), "5");
    // A sparse file: 5 GiB of size, no disk.
    WriteFileText(dir / "huge.bin", "");
    ASSERT_EQ(truncate((dir / "huge.bin").c_str(), 5ll * 1024 * 1024 * 1024), 0);
    EXPECT_EQ(GetFileSizeText(dir / "huge.bin"), "1073741824");
    ASSERT_EQ(truncate((dir / "huge.bin").c_str(), 4ll * 1024 * 1024 * 1024 - 1), 0);
    EXPECT_EQ(GetFileSizeText(dir / "huge.bin"), "4294967295");
    EXPECT_EQ(GetFileSizeText(dir / "none.bin"), "No such file or directory");
}

}  // namespace
