#include <gtest/gtest.h>

#include <random>

#include "release/Md5Hex.h"
#include "release/ZipWriter.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/ZipReadBack.h"

namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(gen() & 0xFF);
    return data;
}

std::string TextLines(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) text += "line " + std::to_string(i) + " of the product's data\r\n";
    return text;
}

std::uint16_t FirstEntryFlags(const std::string& zip) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(zip[6]) | (static_cast<unsigned char>(zip[7]) << 8));
}

struct MethodCase {
    ZipMethod method;
    int nMethodField;
};

class ZipWriterMethodTest : public testing::TestWithParam<MethodCase> {};

// The installer unpacks with libarchive: every method must read back exactly,
// whatever the content (empty, one byte, compressible, incompressible).
TEST_P(ZipWriterMethodTest, LibarchiveReadsBackEveryContent) {
    std::vector<std::string> contents{"x", TextLines(20000), RandomBytes(100000, 7)};
    // libarchive 3.6 cannot read an empty LZMA entry (the publisher stores empty files).
    if (GetParam().method != ZipMethod::zmLzma) contents.push_back("");
    for (const std::string& content : contents) {
        SCOPED_TRACE("content of " + std::to_string(content.size()) + " bytes");
        const std::string zip = MakeZip({{"app.exe", content}}, GetParam().method);
        EXPECT_EQ(FirstEntryMethod(zip), GetParam().nMethodField);
        const std::vector<ZipEntry> entries = ReadZipWithLibarchive(zip);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].strName, "app.exe");
        EXPECT_EQ(Md5Hex(entries[0].strData), Md5Hex(content));
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ZipWriterMethodTest,
                         testing::Values(MethodCase{ZipMethod::zmStore, 0}, MethodCase{ZipMethod::zmDeflate, 8},
                                         MethodCase{ZipMethod::zmLzma, 14}),
                         [](const auto& info) { return std::string(ZipMethodName(info.param.method)); });

TEST(ZipWriterTest, LzmaEntriesAnnounceTheirEndMarker) {
    const std::string zip = MakeZip({{"a.dll", TextLines(100)}}, ZipMethod::zmLzma);
    EXPECT_EQ(FirstEntryFlags(zip) & 0x2, 0x2);
    // SDK version, then a property size of 5, right after the 30-byte header and the name.
    ASSERT_GT(zip.size(), 30u + 5 + 4);
    EXPECT_EQ(zip[30 + 5 + 2], 5);
    EXPECT_EQ(zip[30 + 5 + 3], 0);
    EXPECT_EQ(FirstEntryFlags(MakeZip({{"a.dll", "abc"}}, ZipMethod::zmDeflate)) & 0x2, 0);
}

// Other tests build odd packages with MakeZip: several entries, folders in the
// name, names beyond ASCII. Order and names must survive.
TEST(ZipWriterTest, SeveralEntriesKeepOrderAndNames) {
    const std::vector<ZipEntry> input{{"sub/app.exe", "first"}, {"second.txt", TextLines(10)}, {"ação.txt", "utf-8"}};
    const std::vector<ZipEntry> entries = ReadZipWithLibarchive(MakeZip(input, ZipMethod::zmDeflate));
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 0; i < input.size(); ++i) {
        EXPECT_EQ(entries[i].strName, input[i].strName);
        EXPECT_EQ(entries[i].strData, input[i].strData);
    }
    EXPECT_EQ(FirstEntryFlags(MakeZip({{"ação.txt", "x"}}, ZipMethod::zmStore)) & 0x800, 0x800);
}

TEST(ZipWriterTest, InfoZipAcceptsStoredAndDeflated) {
    if (RunProcess("sh", {"-c", "command -v unzip"}).exitCode != 0) GTEST_SKIP() << "unzip is not installed";
    TempDir dir;
    for (ZipMethod method : {ZipMethod::zmStore, ZipMethod::zmDeflate}) {
        const auto path = dir / (std::string(ZipMethodName(method)) + ".zip");
        WriteFileText(path, MakeZip({{"bin/data.txt", TextLines(5000)}, {"b.bin", RandomBytes(5000, 1)}}, method));
        ProcessResult result = RunProcess("unzip", {"-t", path.string()});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("No errors detected"), std::string::npos) << result.out;
    }
}

TEST(ZipWriterTest, DamagedArchiveIsRejectedByTheReader) {
    std::string zip = MakeZip({{"app.exe", TextLines(2000)}}, ZipMethod::zmDeflate);
    zip[60] = static_cast<char>(zip[60] ^ 0x5A);  // inside the compressed data
    EXPECT_THROW(ReadZipWithLibarchive(zip), std::runtime_error);
}

TEST(ZipWriterTest, AutoStoresWhatDoesNotCompressAndShrinksWhatDoes) {
    const std::string random = RandomBytes(200000, 3);
    const TCompressedData stored = CompressSmallest(random);
    EXPECT_EQ(stored.method, ZipMethod::zmStore);
    EXPECT_EQ(stored.strBytes, random);

    const std::string text = TextLines(20000);
    const TCompressedData packed = CompressSmallest(text);
    EXPECT_NE(packed.method, ZipMethod::zmStore);
    EXPECT_LE(packed.strBytes.size(), CompressForZip(text, ZipMethod::zmDeflate).strBytes.size());
    EXPECT_LE(packed.strBytes.size(), CompressForZip(text, ZipMethod::zmLzma).strBytes.size());
}

// Sizes in the description are unsigned 32-bit: an entry of 4 GiB or more is refused, not truncated.
TEST(ZipWriterTest, EntriesOfFourGibibytesAreRefused) {
    TCompressedData huge = CompressForZip("abc", ZipMethod::zmStore);
    huge.nUncompressedSize = 0x100000000ull;
    TZipWriter writer;
    EXPECT_THROW(writer.Add("big.bin", huge), std::length_error);
}

TEST(ZipWriterTest, SameInputGivesSameBytes) {
    const std::vector<ZipEntry> input{{"a.txt", TextLines(300), 1700000000}};
    EXPECT_EQ(MakeZip(input, ZipMethod::zmLzma), MakeZip(input, ZipMethod::zmLzma));
}

}  // namespace
