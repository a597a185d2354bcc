// How much a package may unpack to, and which entry names it may use, checked
// on ExtractFirstEntry alone with packages made by the release tool's writer or
// framed by hand where no honest tool would write them.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <signal.h>

#include <cstdint>
#include <random>
#include <filesystem>
#include <string>

#include "release/ZipWriter.h"
#include "support/TempDir.h"
#include "support/TestZip.h"
#include "workers/PackageUnpacker.h"

namespace fs = std::filesystem;

namespace {

void PutU16(std::string& out, uint16_t value) {
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}
void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}
void PutU64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// One deflated entry whose ZIP64 extra field declares `declared` bytes, in the
// local header and in the central directory alike. The release tool never
// writes ZIP64 records.
std::string Zip64Package(const std::string& name, const std::string& data, uint64_t declared) {
    const TCompressedData packed = CompressForZip(data, ZipMethod::zmDeflate);
    std::string extra;
    PutU16(extra, 0x0001);
    PutU16(extra, 8);
    PutU64(extra, declared);
    auto common = [&](std::string& out) {
        PutU16(out, 45);  // version needed: ZIP64
        PutU16(out, 0);   // flags
        PutU16(out, 8);   // Deflate
        PutU16(out, 0);   // time
        PutU16(out, 0);   // date
        PutU32(out, packed.nCrc32);
        PutU32(out, static_cast<uint32_t>(packed.strBytes.size()));
        PutU32(out, 0xFFFFFFFF);  // the size is in the extra field
        PutU16(out, static_cast<uint16_t>(name.size()));
        PutU16(out, static_cast<uint16_t>(extra.size()));
    };
    std::string zip;
    PutU32(zip, 0x04034b50);
    common(zip);
    zip += name + extra + packed.strBytes;
    const size_t centralOffset = zip.size();
    std::string central;
    PutU32(central, 0x02014b50);
    PutU16(central, 0x031E);  // made by: Unix
    common(central);
    PutU16(central, 0);  // comment
    PutU16(central, 0);  // disk
    PutU16(central, 0);  // internal attributes
    PutU32(central, 0100644u << 16);
    PutU32(central, 0);  // offset of the local header
    central += name + extra;
    zip += central;
    PutU32(zip, 0x06054b50);
    PutU16(zip, 0);
    PutU16(zip, 0);
    PutU16(zip, 1);
    PutU16(zip, 1);
    PutU32(zip, static_cast<uint32_t>(central.size()));
    PutU32(zip, static_cast<uint32_t>(centralOffset));
    PutU16(zip, 0);
    return zip;
}

std::string OneEntry(const std::string& name, const std::string& data, ZipMethod method) {
    return MakeZip({{name, data, 0}}, method);
}

// Everything in `folder`, recursively, as paths relative to it.
std::vector<std::string> Contents(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        found.push_back(fs::relative(entry.path(), folder).string());
    return found;
}

struct TLimitCase {
    const char* label;
    ZipMethod method;
    size_t nData;
    uint64_t nMaxSize;
    bool bAccepted;
};

class ExtractSizeLimit : public testing::TestWithParam<TLimitCase> {};

TEST_P(ExtractSizeLimit, EntriesBeyondTheLimitAreRefusedBeforeAnythingIsWritten) {
    const TLimitCase& c = GetParam();
    TempDir dir;
    const std::string data(c.nData, '\0');
    const std::string zip = OneEntry("cache.dat", data, c.method);
    if (c.bAccepted) {
        const fs::path path = ExtractFirstEntry(zip, dir.path(), c.nMaxSize);
        EXPECT_EQ(fs::file_size(path), c.nData);
        return;
    }
    try {
        ExtractFirstEntry(zip, dir.path(), c.nMaxSize);
        ADD_FAILURE() << "accepted";
    } catch (const EFCreateError& e) {
        ADD_FAILURE() << "reported as a file that cannot be created: " << e.what();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Package entry cache.dat declares " + std::to_string(c.nData) +
                                             " bytes, more than the " + std::to_string(c.nMaxSize) + " allowed");
    }
    EXPECT_TRUE(Contents(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Table, ExtractSizeLimit,
                         testing::Values(TLimitCase{"LzmaAtTheLimit", ZipMethod::zmLzma, 1 << 20, 1 << 20, true},
                                         TLimitCase{"LzmaOneByteBeyond", ZipMethod::zmLzma, (1 << 20) + 1, 1 << 20,
                                                    false},
                                         TLimitCase{"DeflateBeyond", ZipMethod::zmDeflate, 200000, 65536, false},
                                         TLimitCase{"StoredBeyond", ZipMethod::zmStore, 4097, 4096, false}),
                         [](const testing::TestParamInfo<TLimitCase>& info) { return info.param.label; });

// A few hundred bytes that claim 5 GiB: refused by the size they declare, not
// after filling the disk up to it.
TEST(ExtractLimits, Zip64EntryDeclaringMoreThanAPackageMayHoldIsRefused) {
    TempDir dir;
    const uint64_t declared = 5ull << 30;
    const std::string zip = Zip64Package("app.exe", std::string(100000, '\0'), declared);
    try {
        ExtractFirstEntry(zip, dir.path());
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Package entry app.exe declares 5368709120 bytes, more than the 4294967295 allowed");
    }
    EXPECT_TRUE(Contents(dir.path()).empty());
}

// The ZIP64 framing itself is read: the same package declaring its true size unpacks.
TEST(ExtractLimits, Zip64EntryDeclaringItsTrueSizeUnpacks) {
    TempDir dir;
    const std::string data(100000, 'z');
    const fs::path path = ExtractFirstEntry(Zip64Package("app.exe", data, data.size()), dir.path());
    EXPECT_EQ(path, dir.path() / "app.exe");
    EXPECT_EQ(ReadFileText(path), data);
}

// The release tool's LZMA package for `data`, its dictionary size replaced:
// the properties follow the 30 bytes of the local header, the name, and the
// LZMA SDK version and property size (4 bytes); the size follows one byte.
// `methodHigh` goes to the high byte of the local header's method, which the
// zip reader ignores.
std::string LzmaWithDictionary(const std::string& name, const std::string& data, uint32_t nDictionary,
                               char methodHigh = 0) {
    std::string zip = OneEntry(name, data, ZipMethod::zmLzma);
    zip[9] = methodHigh;
    const size_t pos = 30 + name.size() + 4 + 1;
    for (int i = 0; i < 4; ++i) zip[pos + i] = static_cast<char>((nDictionary >> (8 * i)) & 0xff);
    return zip;
}

// liblzma allocates the dictionary before decoding and the zip reader gives it
// no memory limit: 200 bytes asking for 4 GiB must not cost 4 GiB.
TEST(ExtractLimits, LzmaDictionaryBeyond64MiBIsRefusedBeforeDecoding) {
    const std::string data = "the program itself, compressed with LZMA";
    const struct {
        uint32_t nDictionary;
        char methodHigh;
        bool bAccepted;
    } cases[] = {
        {64u << 20, 0, true}, {(64u << 20) + 1, 0, false}, {0xFFFFFFFFu, 0, false}, {0xFFFFFFFFu, 0x2e, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nDictionary);
        TempDir dir;
        const std::string zip = LzmaWithDictionary("app.exe", data, c.nDictionary, c.methodHigh);
        if (c.bAccepted) {
            EXPECT_EQ(ReadFileText(ExtractFirstEntry(zip, dir.path())), data);
            continue;
        }
        try {
            ExtractFirstEntry(zip, dir.path());
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Package asks for an LZMA dictionary of " + std::to_string(c.nDictionary) +
                                                 " bytes, more than the 67108864 allowed");
        }
        EXPECT_TRUE(Contents(dir.path()).empty());
    }
}

// A name that reduces to nothing would make the target folder the output
// file: its temporary file would be created beside the target, outside it, and
// the failure would pass for a file held by the running product (which asks
// the user to close it) instead of a damaged package.
TEST(ExtractLimits, EntryThatNamesNoFileIsRefusedAsDamaged) {
    for (const char* name : {".", "./.", ".\\.", "./\\."}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const fs::path target = dir.path() / "target";
        fs::create_directory(target);
        try {
            ExtractFirstEntry(OneEntry(name, "payload", ZipMethod::zmDeflate), target);
            ADD_FAILURE() << "accepted";
        } catch (const EFCreateError& e) {
            ADD_FAILURE() << "reported as a file that cannot be created: " << e.what();
        } catch (const std::runtime_error& e) {
            // The zip reader may turn back-slashes into slashes in the name it reports.
            EXPECT_TRUE(std::string(e.what()).starts_with("Package entry names no file: ")) << e.what();
        }
        EXPECT_EQ(Contents(dir.path()), std::vector<std::string>{"target"});
    }
}

}  // namespace

namespace {

// A small tmpfs of its own, where the test may mount one (root, a mount
// namespace that allows it); unmounted again whatever happens.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& where) : m_Where(where) {
        fs::create_directories(where);
        m_bMounted = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=32m") == 0;
    }
    ~SmallDisk() {
        if (m_bMounted) ::umount2(m_Where.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_bMounted; }

private:
    fs::path m_Where;
    bool m_bMounted = false;
};

}  // namespace

TEST(ExtractLimits, AnEntryThatWouldFillTheDiskIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    SmallDisk disk(dir.path() / "small");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    ZipEntry entry;
    entry.strName = "quotes.db";
    entry.strData = std::string(20u << 20, '\0');  // 20 MiB; the 32 MiB disk keeps 16 MiB free
    const std::string zip = MakeZip({entry}, ZipMethod::zmDeflate);
    try {
        ExtractFirstEntry(zip, dir.path() / "small");
        FAIL() << "unpacked onto a disk without room for it";
    } catch (const EFCreateError& e) {
        FAIL() << "reported as a file that cannot be created: " << e.what();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("room"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(fs::is_empty(dir.path() / "small"));
    EXPECT_EQ(fs::file_size(ExtractFirstEntry(zip, dir.path() / "large")), 20u << 20) << "fits a disk with room";
}

namespace {

// Data that no method compresses much, so that a package of a few MiB
// unpacks as slowly as a real binary.
std::string NoiseData(size_t size) {
    std::mt19937 random(7);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random() % 64);
    return data;
}

}  // namespace

// A file of several MiB is written and hashed by a second thread while the
// first decompresses: what lands and its digest must be exactly the entry.
TEST(ExtractLimits, LargeEntryLandsWholeWithItsDigestInEveryMethod) {
    const std::string data = NoiseData(5u << 20);
    for (ZipMethod method : {ZipMethod::zmStore, ZipMethod::zmDeflate, ZipMethod::zmLzma}) {
        SCOPED_TRACE(static_cast<int>(method));
        TempDir dir;
        const TUnpackedFile unpacked = UnpackFirstEntry(OneEntry("vantixchart.exe", data, method), dir.path());
        EXPECT_EQ(unpacked.path, dir.path() / "vantixchart.exe");
        EXPECT_EQ(unpacked.strMd5, Md5Upper(data));
        EXPECT_TRUE(ReadFileText(unpacked.path) == data);
        EXPECT_EQ(Contents(dir.path()), std::vector<std::string>{"vantixchart.exe"});
    }
}

// The file limit of the process stands in for a disk that fills while a
// large file is written on the second thread.
TEST(ExtractLimits, LargeEntryThatCannotBeWrittenFailsAndLeavesNothing) {
    TempDir dir;
    const std::string zip = OneEntry("quotes.db", NoiseData(8u << 20), ZipMethod::zmDeflate);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 5u << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string message;
    try {
        ExtractFirstEntry(zip, dir.path());
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_NE(message.find("Cannot write file"), std::string::npos) << message;
    EXPECT_TRUE(Contents(dir.path()).empty());
}
