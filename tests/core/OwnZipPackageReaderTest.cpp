// The own zip reader (for builds without libarchive) against libarchive's:
// every package, made by the release tool's writer or damaged by hand, must
// give the same bytes from both, or be refused by both.
#include <gtest/gtest.h>
#include <lzma.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>

#include "release/ZipWriter.h"
#include "workers/OwnZipPackageReader.h"
#include "workers/PackageReader.h"

namespace {

using TOpener = std::unique_ptr<IPackageReader> (*)(const std::string&);

struct TOutcome {
    bool bRefused = false;
    bool bUnsupported = false;
    std::string strError;
    std::string strBytes;
    TPackageEntry entry;
};

TOutcome ReadWith(TOpener open, const std::string& package, size_t nChunk) {
    TOutcome outcome;
    try {
        const std::unique_ptr<IPackageReader> reader = open(package);
        outcome.entry = reader->FirstEntry();
        std::string buffer(nChunk, '\0');
        for (size_t n = 0; (n = reader->Read(buffer)) > 0;) outcome.strBytes.append(buffer.data(), n);
    } catch (const EPackageUnsupported& e) {
        outcome.bRefused = outcome.bUnsupported = true;
        outcome.strError = e.what();
    } catch (const std::runtime_error& e) {
        outcome.bRefused = true;
        outcome.strError = e.what();
    }
    return outcome;
}

// The own reader's outcome, after checking it against libarchive's.
TOutcome ReadWithBoth(const std::string& package, size_t nChunk = 1000) {
    const TOutcome own = ReadWith(&OpenOwnZipPackage, package, nChunk);
    const TOutcome libarchive = ReadWith(&OpenPackage, package, nChunk);
    EXPECT_EQ(own.bRefused, libarchive.bRefused) << "own: " << own.strError << "; libarchive: " << libarchive.strError;
    if (own.bRefused || libarchive.bRefused) return own;
    EXPECT_TRUE(own.strBytes == libarchive.strBytes) << "the readers unpack different bytes";
    EXPECT_EQ(own.entry.strName, libarchive.entry.strName);
    EXPECT_EQ(own.entry.bRegularFile, libarchive.entry.bRegularFile);
    EXPECT_EQ(own.entry.nDeclaredSize, libarchive.entry.nDeclaredSize);
    EXPECT_EQ(own.entry.nPermissions, libarchive.entry.nPermissions);
    return own;
}

uint32_t GetLe(const std::string& bytes, size_t pos, int nBytes) {
    uint32_t value = 0;
    for (int i = nBytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
    return value;
}

void SetLe(std::string& bytes, size_t pos, int nBytes, uint32_t value) {
    for (int i = 0; i < nBytes; ++i) bytes[pos + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// Where the headers of a one-entry package written by TZipWriter lie.
struct TLayout {
    size_t nEnd;
    size_t nCentral;
    size_t nData;
    size_t nPacked;
};

TLayout Locate(const std::string& zip) {
    TLayout layout{};
    layout.nEnd = zip.size() - 22;
    layout.nCentral = GetLe(zip, layout.nEnd + 16, 4);
    layout.nData = 30 + GetLe(zip, 26, 2) + GetLe(zip, 28, 2);
    layout.nPacked = GetLe(zip, layout.nCentral + 20, 4);
    return layout;
}

// A field both headers carry: its offset in the local and the central one.
struct TField {
    size_t nLocal;
    size_t nCentral;
    int nBytes;
};
constexpr TField kFlags{6, 8, 2};
constexpr TField kMethod{8, 10, 2};
constexpr TField kCrc{14, 16, 4};
constexpr TField kPackedSize{18, 20, 4};
constexpr TField kSize{22, 24, 4};

void SetField(std::string& zip, TField field, uint32_t value) {
    const TLayout layout = Locate(zip);
    SetLe(zip, field.nLocal, field.nBytes, value);
    SetLe(zip, layout.nCentral + field.nCentral, field.nBytes, value);
}

void ChangeField(std::string& zip, TField field, const std::function<uint32_t(uint32_t)>& change) {
    SetField(zip, field, change(GetLe(zip, field.nLocal, field.nBytes)));
}

// Inserts `bytes` before the central directory, which moves along.
void InsertBeforeCentral(std::string& zip, const std::string& bytes) {
    const TLayout layout = Locate(zip);
    zip.insert(layout.nCentral, bytes);
    SetLe(zip, layout.nEnd + bytes.size() + 16, 4, static_cast<uint32_t>(layout.nCentral + bytes.size()));
}

// An extra field in the local header, which moves everything after it.
void InsertLocalExtra(std::string& zip, const std::string& extra) {
    const TLayout layout = Locate(zip);
    zip.insert(30 + GetLe(zip, 26, 2), extra);
    SetLe(zip, 28, 2, static_cast<uint32_t>(GetLe(zip, 28, 2) + extra.size()));
    SetLe(zip, layout.nEnd + extra.size() + 16, 4, static_cast<uint32_t>(layout.nCentral + extra.size()));
}

// A ZIP64 extra field repeating the entry's true size.
std::string Zip64Extra(const std::string& zip) {
    std::string extra("\x01\x00\x08\x00", 4);
    extra += zip.substr(kSize.nLocal, 4) + std::string(4, '\0');
    return extra;
}

// The sizes and CRC move behind the data (general-purpose bit 3), with or
// without the descriptor's optional signature.
std::string WithDataDescriptor(std::string zip, bool bSigned) {
    std::string descriptor = bSigned ? std::string("PK\x07\x08", 4) : std::string();
    descriptor += zip.substr(kCrc.nLocal, 12);
    InsertBeforeCentral(zip, descriptor);
    ChangeField(zip, kFlags, [](uint32_t flags) { return flags | 8; });
    SetLe(zip, kCrc.nLocal, 4, 0);
    SetLe(zip, kPackedSize.nLocal, 4, 0);
    SetLe(zip, kSize.nLocal, 4, 0);
    return zip;
}

// The LZMA data as a zip holds it, encoded with a dictionary of our choice,
// with or without the end marker.
std::string ZipLzmaData(const std::string& data, uint32_t nDictionary, bool bEndMarker) {
    lzma_options_lzma options{};
    EXPECT_FALSE(lzma_lzma_preset(&options, 6));
    options.dict_size = nDictionary;
    uint8_t properties[5] = {};
    lzma_filter describe[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    EXPECT_EQ(lzma_properties_encode(describe, properties), LZMA_OK);
    if (!bEndMarker) {
        options.ext_flags = 0;
        options.ext_size_low = static_cast<uint32_t>(data.size());
        options.ext_size_high = 0;
    }
    lzma_filter filters[2] = {{bEndMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
                              {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_raw_encoder(&stream, filters), LZMA_OK);
    std::string out(data.size() + data.size() / 8 + 1024, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
    stream.avail_in = data.size();
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = out.size();
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    lzma_end(&stream);
    return std::string("\x10\x02\x05\x00", 4) + std::string(reinterpret_cast<char*>(properties), 5) + out;
}

std::string LzmaPackage(const std::string& name, const std::string& data, uint32_t nDictionary, bool bEndMarker) {
    TCompressedData packed = CompressForZip(data, ZipMethod::zmStore);
    packed.method = ZipMethod::zmLzma;
    packed.strBytes = ZipLzmaData(data, nDictionary, bEndMarker);
    TZipWriter writer;
    writer.Add(name, packed);
    std::string zip = writer.Finish();
    if (!bEndMarker) ChangeField(zip, kFlags, [](uint32_t flags) { return flags & ~2u; });
    return zip;
}

std::string OneEntry(const std::string& name, const std::string& data, ZipMethod method) {
    return MakeZip({{name, data, 0}}, method);
}

// Words in a random order: compressible, yet with matches at every distance.
std::string WordSoup(size_t size, unsigned seed) {
    static const char* const kWords[] = {"quote ", "chart ", "ticker ", "volume ", "bid ", "ask ", "\n", "2026-12 "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) text += kWords[random() % std::size(kWords)];
    text.resize(size);
    return text;
}

struct TPackageCase {
    const char* label;
    ZipMethod method;
    std::string strName;
    std::string strData;
    // libarchive fails on an empty LZMA entry (liblzma reports a buffer
    // error); the release tool stores empty files, but the LZMA stream of
    // nothing is valid and the own reader gives the empty file.
    bool bLibarchiveReads = true;
    // The name as read, where it differs: back-slashes of an entry whose local
    // header says DOS (as the writer's do) separate folders.
    std::string strReadName = {};
};

void PrintTo(const TPackageCase& c, std::ostream* os) { *os << c.label; }

class OwnZipReadsWriterPackages : public testing::TestWithParam<TPackageCase> {};

TEST_P(OwnZipReadsWriterPackages, GivesTheDataAndEntryLibarchiveGives) {
    const TPackageCase& c = GetParam();
    const std::string zip = OneEntry(c.strName, c.strData, c.method);
    for (const std::string& package : {zip, WithDataDescriptor(zip, true), WithDataDescriptor(zip, false)}) {
        if (!c.bLibarchiveReads) {
            EXPECT_TRUE(ReadWith(&OpenPackage, package, 1000).bRefused);
        }
        const TOutcome own = c.bLibarchiveReads ? ReadWithBoth(package) : ReadWith(&OpenOwnZipPackage, package, 1000);
        ASSERT_FALSE(own.bRefused) << own.strError;
        EXPECT_TRUE(own.strBytes == c.strData);
        EXPECT_EQ(own.entry.strName, c.strReadName.empty() ? c.strName : c.strReadName);
        EXPECT_TRUE(own.entry.bSizeDeclared);
        EXPECT_EQ(own.entry.nDeclaredSize, c.strData.size());
        EXPECT_EQ(own.entry.nPermissions, 0644u);
    }
}

const std::string kAccented = "Kursübersicht/Straße/données.txt";

INSTANTIATE_TEST_SUITE_P(
    Table, OwnZipReadsWriterPackages,
    testing::Values(TPackageCase{"StoredEmpty", ZipMethod::zmStore, "empty.txt", ""},
                    TPackageCase{"DeflateEmpty", ZipMethod::zmDeflate, "empty.txt", ""},
                    TPackageCase{"LzmaEmpty", ZipMethod::zmLzma, "empty.txt", "", false},
                    TPackageCase{"StoredAccented", ZipMethod::zmStore, kAccented, "prix, cours"},
                    TPackageCase{"DeflateAccented", ZipMethod::zmDeflate, kAccented, WordSoup(5000, 1)},
                    TPackageCase{"LzmaAccented", ZipMethod::zmLzma, kAccented, WordSoup(5000, 2)},
                    TPackageCase{"StoredBackslashes", ZipMethod::zmStore, "dados\\hist\\a.db", "x", true,
                                 "dados/hist/a.db"},
                    TPackageCase{"StoredBackslashesAccented", ZipMethod::zmStore, "dados\\histórico\\a.db", "x", true,
                                 "dados/histórico/a.db"},
                    TPackageCase{"StoredLarge", ZipMethod::zmStore, "bin/chart.dll", WordSoup(3 << 20, 3)},
                    TPackageCase{"DeflateLarge", ZipMethod::zmDeflate, "bin/chart.dll", WordSoup(3 << 20, 4)},
                    TPackageCase{"LzmaLarge", ZipMethod::zmLzma, "bin/chart.dll", WordSoup(3 << 20, 5)}),
    [](const testing::TestParamInfo<TPackageCase>& info) { return info.param.label; });

// The decoder holds only its window: data many windows long, with matches
// reaching right up to the window's far end, decodes whole in blocks of any
// size, with the end marker or ending at the declared size.
TEST(OwnZipLzma, DataLongerThanTheDictionaryDecodesInBlocksOfAnySize) {
    const std::string soup = WordSoup(300000, 6);
    const std::string data = soup + soup.substr(0, 4096) + soup;
    for (const bool bEndMarker : {true, false}) {
        const std::string zip = LzmaPackage("quotes.db", data, 4096, bEndMarker);
        for (const size_t nChunk : {size_t{1}, size_t{4095}, size_t{1} << 20}) {
            SCOPED_TRACE(testing::Message() << "end marker " << bEndMarker << ", blocks of " << nChunk);
            const TOutcome own = ReadWithBoth(zip, nChunk);
            ASSERT_FALSE(own.bRefused) << own.strError;
            EXPECT_TRUE(own.strBytes == data);
        }
    }
}

enum class TVerdict {
    eRefusedByBoth,
    // Damage that leaves the data whole and checked: both readers give it.
    eReadByBoth,
    // libarchive reads it; the own reader refuses what the release tool never writes.
    eRefusedByOwnOnly,
};

struct THostileCase {
    const char* label;
    ZipMethod method;
    std::function<void(std::string&)> damage;
    TVerdict verdict = TVerdict::eRefusedByBoth;
};

void PrintTo(const THostileCase& c, std::ostream* os) { *os << c.label; }

class OwnZipReadsDamagedPackages : public testing::TestWithParam<THostileCase> {};

TEST_P(OwnZipReadsDamagedPackages, AsLibarchiveDoes) {
    const THostileCase& c = GetParam();
    const std::string data = WordSoup(20000, 7);
    std::string zip = OneEntry("app.exe", data, c.method);
    c.damage(zip);
    if (c.verdict == TVerdict::eReadByBoth) {
        const TOutcome own = ReadWithBoth(zip);
        EXPECT_FALSE(own.bRefused) << own.strError;
        EXPECT_TRUE(own.strBytes == data);
        return;
    }
    const TOutcome own = ReadWith(&OpenOwnZipPackage, zip, 1000);
    const TOutcome libarchive = ReadWith(&OpenPackage, zip, 1000);
    EXPECT_TRUE(own.bRefused) << "own reader accepted it";
    EXPECT_EQ(libarchive.bRefused, c.verdict == TVerdict::eRefusedByBoth) << libarchive.strError;
    if (c.verdict == TVerdict::eRefusedByOwnOnly) {
        EXPECT_TRUE(own.bUnsupported) << own.strError;
    }
}

void SetLzmaProperty(std::string& zip, size_t nOffset, int nBytes, uint32_t value) {
    SetLe(zip, Locate(zip).nData + nOffset, nBytes, value);
}

const auto kPlus = [](uint32_t n) { return [n](uint32_t value) { return value + n; }; };

INSTANTIATE_TEST_SUITE_P(
    Table, OwnZipReadsDamagedPackages,
    testing::Values(
        THostileCase{"TruncatedHalf", ZipMethod::zmDeflate, [](std::string& zip) { zip.resize(zip.size() / 2); }},
        THostileCase{"TruncatedEndRecord", ZipMethod::zmStore, [](std::string& zip) { zip.pop_back(); },
                     TVerdict::eReadByBoth},
        THostileCase{"StoredBadCrc", ZipMethod::zmStore, [](std::string& zip) { ChangeField(zip, kCrc, kPlus(1)); }},
        THostileCase{"DeflateBadCrc", ZipMethod::zmDeflate, [](std::string& zip) { ChangeField(zip, kCrc, kPlus(1)); }},
        THostileCase{"LzmaBadCrc", ZipMethod::zmLzma, [](std::string& zip) { ChangeField(zip, kCrc, kPlus(1)); }},
        THostileCase{"StoredDataByteFlipped", ZipMethod::zmStore,
                     [](std::string& zip) { zip[Locate(zip).nData + 100] ^= 0x10; }},
        THostileCase{"LzmaDataByteFlipped", ZipMethod::zmLzma,
                     [](std::string& zip) { zip[Locate(zip).nData + 100] ^= 0x10; }},
        THostileCase{"DeflateSizeTooLarge", ZipMethod::zmDeflate,
                     [](std::string& zip) { ChangeField(zip, kSize, kPlus(1)); }},
        THostileCase{"DeflateSizeTooSmall", ZipMethod::zmDeflate,
                     [](std::string& zip) { ChangeField(zip, kSize, kPlus(-1u)); }},
        THostileCase{"LzmaSizeTooLarge", ZipMethod::zmLzma,
                     [](std::string& zip) { ChangeField(zip, kSize, kPlus(1)); }},
        THostileCase{"LzmaSizeTooSmall", ZipMethod::zmLzma,
                     [](std::string& zip) { ChangeField(zip, kSize, kPlus(-1u)); }},
        THostileCase{"StoredSizeTooSmall", ZipMethod::zmStore,
                     [](std::string& zip) { ChangeField(zip, kSize, kPlus(-1u)); }},
        THostileCase{"DeflatePackedSizeTooSmall", ZipMethod::zmDeflate,
                     [](std::string& zip) { ChangeField(zip, kPackedSize, kPlus(-1u)); }},
        THostileCase{"LzmaPackedSizeTooSmall", ZipMethod::zmLzma,
                     [](std::string& zip) { ChangeField(zip, kPackedSize, kPlus(-1u)); }, TVerdict::eReadByBoth},
        THostileCase{"DeflateTrailingPackedBytes", ZipMethod::zmDeflate,
                     [](std::string& zip) {
                         InsertBeforeCentral(zip, "junk");
                         ChangeField(zip, kPackedSize, kPlus(4));
                     }},
        THostileCase{"LzmaDictionaryTooLarge", ZipMethod::zmLzma,
                     [](std::string& zip) { SetLzmaProperty(zip, 5, 4, (64u << 20) + 1); }},
        THostileCase{"LzmaLcPlusLpAbove4", ZipMethod::zmLzma,
                     [](std::string& zip) { SetLzmaProperty(zip, 4, 1, 4 + 9 * 1); }},
        THostileCase{"LzmaPbAbove4", ZipMethod::zmLzma, [](std::string& zip) { SetLzmaProperty(zip, 4, 1, 225); }},
        THostileCase{"LzmaPropertiesSizeNot5", ZipMethod::zmLzma,
                     [](std::string& zip) { SetLzmaProperty(zip, 2, 2, 6); }},
        THostileCase{"LzmaFirstByteNotZero", ZipMethod::zmLzma,
                     [](std::string& zip) { SetLzmaProperty(zip, 9, 1, 1); }},
        THostileCase{"LzmaEndMarkerNotAnnounced", ZipMethod::zmLzma,
                     [](std::string& zip) { ChangeField(zip, kFlags, [](uint32_t flags) { return flags & ~2u; }); },
                     TVerdict::eReadByBoth},
        THostileCase{"LzmaEndMarkerAnnouncedButMissing", ZipMethod::zmLzma,
                     [](std::string& zip) {
                         zip = LzmaPackage("app.exe", WordSoup(20000, 7), 4096, false);
                         ChangeField(zip, kFlags, [](uint32_t flags) { return flags | 2u; });
                     },
                     TVerdict::eReadByBoth},
        THostileCase{"LzmaTrailingPackedBytes", ZipMethod::zmLzma,
                     [](std::string& zip) {
                         InsertBeforeCentral(zip, "junk");
                         ChangeField(zip, kPackedSize, kPlus(4));
                     }},
        THostileCase{"UnknownMethod", ZipMethod::zmDeflate, [](std::string& zip) { SetField(zip, kMethod, 12); }},
        THostileCase{"Encrypted", ZipMethod::zmStore,
                     [](std::string& zip) { ChangeField(zip, kFlags, [](uint32_t flags) { return flags | 1; }); }},
        THostileCase{"Zip64ExtraField", ZipMethod::zmDeflate,
                     [](std::string& zip) { InsertLocalExtra(zip, Zip64Extra(zip)); }, TVerdict::eRefusedByOwnOnly},
        THostileCase{"MethodHighByteSet", ZipMethod::zmDeflate, [](std::string& zip) { SetField(zip, kMethod, 0x0108); },
                     TVerdict::eRefusedByOwnOnly},
        THostileCase{"Zip64SizeMarkers", ZipMethod::zmStore,
                     [](std::string& zip) {
                         SetField(zip, kSize, 0xFFFFFFFF);
                         SetField(zip, kPackedSize, 0xFFFFFFFF);
                     }}),
    [](const testing::TestParamInfo<THostileCase>& info) { return info.param.label; });

}  // namespace
