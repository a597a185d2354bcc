#include <cstdint>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileVersion.h"
#include "support/TempDir.h"
#include "support/TestPeImage.h"

namespace fs = std::filesystem;

namespace {

TBytes VersionedImage() { return PeImage(ResourceSection({{16, VersionInfo(1, 81, 2, 3)}})); }

// Offsets inside VersionedImage, for the damage table.
constexpr size_t kOptional = 0x58;
constexpr size_t kSectionTable = kOptional + 224;
constexpr size_t kRoot = kSectionFileOffset;
constexpr size_t kDataEntry = kRoot + 16 + 8 + 24 + 24;

class FileVersion : public testing::Test {
protected:
    // A new file each time: truncating a written file makes ext4 flush it first, which is slow.
    fs::path Write(const TBytes& bytes, const std::string& name = "app.exe") {
        const fs::path path = m_Dir / (std::to_string(++m_nFiles) + "-" + name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    TempDir m_Dir;
    int m_nFiles = 0;
};

TEST_F(FileVersion, ReadsFullAndShortVersion) {
    const fs::path exe = Write(VersionedImage());
    EXPECT_EQ(GetFileVersionString(exe, true), "1.81.2.3");
    EXPECT_EQ(GetFileVersionString(exe, false), "1.81");
}

TEST_F(FileVersion, ReadsPe32PlusAndFullWordRange) {
    const fs::path exe = Write(PeImage(ResourceSection({{16, VersionInfo(65534, 0, 7, 65535)}}), true));
    EXPECT_EQ(GetFileVersionString(exe, true), "65534.0.7.65535");
}

TEST_F(FileVersion, PicksTheVersionTypeAmongOthers) {
    TBytes icon(300, 0xAB);
    const fs::path exe = Write(PeImage(ResourceSection({{3, icon}, {14, icon}, {16, VersionInfo(2, 5, 0, 11)}})));
    EXPECT_EQ(GetFileVersionString(exe, true), "2.5.0.11");
}

TEST_F(FileVersion, FilesWithoutVersionGiveTheFallbackInBothForms) {
    const struct {
        const char* szName;
        TBytes bytes;
    } cases[] = {
        {"empty", {}},
        {"text", TBytes{'h', 'e', 'l', 'l', 'o', '\n'}},
        {"MZ only", TBytes{'M', 'Z'}},
        {"ELF", TBytes{0x7F, 'E', 'L', 'F', 2, 1, 1, 0}},
        {"PE without version", PeImage(ResourceSection({{3, TBytes(64, 1)}}))},
        {"PE without resources", PeImage({})},
    };
    for (const auto& c : cases) {
        const fs::path file = Write(c.bytes, c.szName);
        EXPECT_EQ(GetFileVersionString(file, true), "65535.65535") << c.szName;
        EXPECT_EQ(GetFileVersionString(file, false), "65535.65535") << c.szName;
    }
    EXPECT_EQ(GetFileVersionString(m_Dir / "missing.exe", true), "65535.65535");
    EXPECT_EQ(GetFileVersionString(m_Dir.path(), true), "65535.65535") << "a folder";
}

TEST_F(FileVersion, EveryTruncationFallsBack) {
    const TBytes full = VersionedImage();
    for (size_t length = 0; length < full.size(); ++length) {
        const fs::path exe = Write(TBytes(full.begin(), full.begin() + length));
        ASSERT_EQ(GetFileVersionString(exe, true), "65535.65535") << "length " << length;
    }
}

// Damaged headers must never lead outside the file; a damaged resource tree
// still finds the version block by scanning the resource section.
TEST_F(FileVersion, DamagedImages) {
    const struct {
        const char* szName;
        size_t nOffset;
        uint32_t nValue;
        const char* szExpected;
    } cases[] = {
        {"PE offset beyond the file", 0x3C, 0xFFFFFFF0u, "65535.65535"},
        {"PE signature", 0x40, 0x00004551, "65535.65535"},
        {"optional header magic", kOptional, 0x0000010C, "65535.65535"},
        {"directory count too small", kOptional + 92, 2, "65535.65535"},
        {"optional header too small for the resource entry", 0x44 + 16, 0x00000001, "65535.65535"},
        {"optional header size pushes the sections beyond the file", 0x44 + 16, 0x0000FFF0, "65535.65535"},
        {"section count beyond the file", 0x44 + 2, 0x0000FFFF, "65535.65535"},
        {"no resource directory", kOptional + 96 + 16, 0, "65535.65535"},
        {"resource directory outside every section", kOptional + 96 + 16, 0x7FFFFFF0u, "65535.65535"},
        {"section raw offset beyond the file", kSectionTable + 20, 0xFFFFFF00u, "65535.65535"},
        {"section raw size beyond the file", kSectionTable + 16, 0x7FFFFFFFu, "1.81.2.3"},
        {"fixed info signature", kRoot + 0x80, 0xFEEF04BE, "65535.65535"},
        {"entry count huge", kRoot + 12, 0xFFFFFFFFu, "1.81.2.3"},
        {"type entry points to itself", kRoot + 20, 0x80000000u, "1.81.2.3"},
        {"type entry points far away", kRoot + 20, 0xFFFFFFFFu, "1.81.2.3"},
        {"type entry is a leaf", kRoot + 20, 0x00000018u, "1.81.2.3"},
        {"data RVA outside", kDataEntry, 0xFFFFFFF0u, "1.81.2.3"},
        {"data size huge", kDataEntry + 4, 0xFFFFFFFFu, "1.81.2.3"},
    };
    for (const auto& c : cases) {
        TBytes img = VersionedImage();
        ASSERT_LT(c.nOffset + 4, img.size()) << c.szName;
        Put32(img, c.nOffset, c.nValue);
        EXPECT_EQ(GetFileVersionString(Write(img), true), c.szExpected) << c.szName;
    }
}

TEST_F(FileVersion, RandomDamageNeverCrashesOrInventsText) {
    const TBytes original = VersionedImage();
    std::mt19937 rng(20240506);
    const std::regex shape(R"(\d{1,5}\.\d{1,5}\.\d{1,5}\.\d{1,5}|65535\.65535)");
    for (int round = 0; round < 1500; ++round) {
        TBytes img = original;
        const int flips = 1 + int(rng() % 6);
        for (int i = 0; i < flips; ++i) img[rng() % img.size()] = uint8_t(rng());
        if (rng() % 4 == 0) img.resize(rng() % img.size());
        const std::string version = GetFileVersionString(Write(img), true);
        ASSERT_TRUE(std::regex_match(version, shape)) << version;
    }
}

}  // namespace
