#include <cstdint>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileVersion.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<uint8_t>;

void Put16(TBytes& b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void Put32(TBytes& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v));
    Put16(b, at + 2, uint16_t(v >> 16));
}

// VS_VERSIONINFO with its key and VS_FIXEDFILEINFO (no string tables).
TBytes VersionInfo(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    TBytes v;
    const std::string key = "VS_VERSION_INFO";
    Put16(v, 2, 52);  // wValueLength
    for (size_t i = 0; i < key.size(); ++i) Put16(v, 6 + 2 * i, uint8_t(key[i]));
    Put16(v, 6 + 2 * key.size(), 0);
    const size_t fixed = 40;  // 6 + 32 bytes of key, aligned to 4
    Put32(v, fixed, 0xFEEF04BD);
    Put32(v, fixed + 4, 0x00010000);
    Put32(v, fixed + 8, uint32_t(a) << 16 | b);
    Put32(v, fixed + 12, uint32_t(c) << 16 | d);
    Put32(v, fixed + 16, uint32_t(a) << 16 | b);
    Put32(v, fixed + 20, uint32_t(c) << 16 | d);
    Put32(v, fixed + 48, 0);  // last field: the block is 52 bytes
    Put16(v, 0, uint16_t(v.size()));
    return v;
}

struct TResource {
    uint32_t nType;
    TBytes data;
};

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFileOffset = 0x200;

// A resource section: root directory by type, one name and one language below
// each type, then the data entries and the data.
TBytes ResourceSection(const std::vector<TResource>& resources) {
    TBytes s;
    const size_t n = resources.size();
    const size_t root = 0, names = 16 + 8 * n, langs = names + 24 * n, entries = langs + 24 * n;
    size_t data = entries + 16 * n;
    Put16(s, root + 14, uint16_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put32(s, root + 16 + 8 * i, resources[i].nType);
        Put32(s, root + 20 + 8 * i, 0x80000000u | uint32_t(names + 24 * i));
        Put16(s, names + 24 * i + 14, 1);
        Put32(s, names + 24 * i + 16, 1);
        Put32(s, names + 24 * i + 20, 0x80000000u | uint32_t(langs + 24 * i));
        Put16(s, langs + 24 * i + 14, 1);
        Put32(s, langs + 24 * i + 16, 0x416);
        Put32(s, langs + 24 * i + 20, uint32_t(entries + 16 * i));
        Put32(s, entries + 16 * i, kSectionRva + uint32_t(data));
        Put32(s, entries + 16 * i + 4, uint32_t(resources[i].data.size()));
        s.resize(data);
        s.insert(s.end(), resources[i].data.begin(), resources[i].data.end());
        data = (s.size() + 3) & ~size_t(3);
    }
    return s;
}

// A minimal PE image: DOS header, PE header, optional header with the
// resource directory, one ".rsrc" section.
TBytes PeImage(const TBytes& rsrc, bool pe32plus = false) {
    TBytes img;
    Put16(img, 0, 0x5A4D);
    Put32(img, 0x3C, 0x40);
    Put32(img, 0x40, 0x00004550);
    const size_t coff = 0x44, optional = coff + 20;
    const uint16_t optionalSize = pe32plus ? 240 : 224;
    Put16(img, coff, pe32plus ? 0x8664 : 0x14C);
    Put16(img, coff + 2, 1);
    Put16(img, coff + 16, optionalSize);
    Put16(img, optional, pe32plus ? 0x20B : 0x10B);
    const size_t count = pe32plus ? 108 : 92, dirs = pe32plus ? 112 : 96;
    Put32(img, optional + count, 16);
    Put32(img, optional + dirs + 16, kSectionRva);
    Put32(img, optional + dirs + 20, uint32_t(rsrc.size()));
    Put32(img, optional + optionalSize - 4, 0);
    const size_t section = optional + optionalSize;
    for (size_t i = 0; i < 5; ++i) img.resize(section + 40), img[section + i] = uint8_t(".rsrc"[i]);
    Put32(img, section + 8, uint32_t(rsrc.size()));
    Put32(img, section + 12, kSectionRva);
    Put32(img, section + 16, uint32_t(rsrc.size()));
    Put32(img, section + 20, kSectionFileOffset);
    img.resize(kSectionFileOffset);
    img.insert(img.end(), rsrc.begin(), rsrc.end());
    return img;
}

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
