#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileVersion.h"
#include "support/TestPeImage.h"

namespace fs = std::filesystem;

namespace {

class FileVersionWindows : public testing::Test {
protected:
    void SetUp() override {
        m_Dir = fs::temp_directory_path() / ("vxversion-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(m_Dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_Dir, ec);
    }
    fs::path Write(const TBytes& bytes, const std::string& name) {
        const fs::path path = m_Dir / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    fs::path m_Dir;
};

TEST_F(FileVersionWindows, TheSystemReadsTheVersionResourceOfAnImage) {
    const fs::path pe32 = Write(PeImage(ResourceSection({{16, VersionInfo(1, 81, 2, 3)}})), "pe32.exe");
    EXPECT_EQ(GetFileVersionString(pe32, true), "1.81.2.3");
    EXPECT_EQ(GetFileVersionString(pe32, false), "1.81");
    const auto version = ReadPeFileVersion(pe32);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->nRelease, 2);
    EXPECT_EQ(version->nBuild, 3);

    const fs::path pe32plus = Write(
        PeImage(ResourceSection({{3, TBytes(64, 0xAB)}, {16, VersionInfo(65534, 0, 7, 65535)}}), true), "pe32plus.exe");
    EXPECT_EQ(GetFileVersionString(pe32plus, true), "65534.0.7.65535");

    const fs::path unicode = m_Dir / fs::path(L"Vers\u00e3o \u20ac.exe");
    fs::copy_file(pe32, unicode);
    EXPECT_EQ(GetFileVersionString(unicode, true), "1.81.2.3");
}

TEST_F(FileVersionWindows, FilesWithoutVersionGiveTheFallback) {
    const struct {
        const char* szName;
        TBytes bytes;
    } cases[] = {
        {"empty.exe", {}},
        {"text.txt", TBytes{'h', 'e', 'l', 'l', 'o', '\n'}},
        {"mz-only.exe", TBytes{'M', 'Z'}},
        {"icon-only.exe", PeImage(ResourceSection({{3, TBytes(64, 1)}}))},
        {"no-resources.exe", PeImage({})},
    };
    for (const auto& c : cases) {
        const fs::path file = Write(c.bytes, c.szName);
        EXPECT_EQ(ReadPeFileVersion(file), std::nullopt) << c.szName;
        EXPECT_EQ(GetFileVersionString(file, true), "65535.65535") << c.szName;
        EXPECT_EQ(GetFileVersionString(file, false), "65535.65535") << c.szName;
    }
    EXPECT_EQ(GetFileVersionString(m_Dir / "missing.exe", true), "65535.65535");
    EXPECT_EQ(GetFileVersionString(m_Dir, true), "65535.65535") << "a folder";
}

}  // namespace
