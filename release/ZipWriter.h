#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Compression methods of a zip entry, numbered as the zip format numbers them.
// The installer's reader understands exactly these three.
enum class ZipMethod : std::uint16_t {
    zmStore = 0,
    zmDeflate = 8,
    zmLzma = 14,
};

// Text for messages and options: "store", "deflate", "lzma".
std::string_view ZipMethodName(ZipMethod method);

// One entry to put into an archive. The name is stored as given ("/" separates
// folders); tModified 0 stands for the zip epoch (1980-01-01 00:00), which keeps
// archives made in tests byte-for-byte reproducible.
struct ZipEntry {
    std::string strName;
    std::string strData;
    std::time_t tModified = 0;
};

// An entry's data once compressed, ready to be framed by TZipWriter.
struct TCompressedData {
    ZipMethod method = ZipMethod::zmStore;
    std::uint32_t nCrc32 = 0;
    std::uint64_t nUncompressedSize = 0;
    std::string strBytes;  // what follows the local header: compressed stream, or the data itself
};

// Compresses `data` with `method`: raw Deflate (zlib, default level) for method 8; for
// method 14 the zip LZMA framing (SDK version, property size, the five property
// bytes) and a raw LZMA1 stream ended by its end marker. Throws
// std::runtime_error when a library fails.
TCompressedData CompressForZip(std::string_view data, ZipMethod method);

// Chooses per file: Deflate first, which is cheap and tells whether the data
// compresses at all; what does not get smaller is stored; otherwise LZMA is
// tried too and the smallest of the three wins.
TCompressedData CompressSmallest(std::string_view data);

// Builds a zip archive in memory, entry by entry, in the order added. Entries
// larger than 4 GiB - 1 (or archives that would pass that size) are refused with
// std::length_error rather than written with ZIP64 records, because the release
// description carries package sizes as unsigned 32-bit numbers anyway.
class TZipWriter {
public:
    void Add(const std::string& strName, const TCompressedData& data, std::time_t tModified = 0);
    // Central directory and end record; the writer is spent afterwards.
    std::string Finish();

private:
    std::string m_strArchive;
    std::string m_strCentral;
    std::uint16_t m_nEntries = 0;
    bool m_bFinished = false;
};

// The simple form for tests and benchmarks: every entry with the same method.
std::string MakeZip(const std::vector<ZipEntry>& entries, ZipMethod method);
