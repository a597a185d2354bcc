#include "release/ZipWriter.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint64_t kMaxZip32 = 0xFFFFFFFFull;
// Bit 1: the LZMA stream ends with its end marker. Bit 11: the name is UTF-8.
constexpr std::uint16_t kFlagLzmaEndMarker = 1u << 1;
constexpr std::uint16_t kFlagUtf8Name = 1u << 11;
// Deflate needs version 2.0 to extract, LZMA 6.3; stored data 1.0.
constexpr std::uint16_t kMadeByUnix = (3u << 8) | 63u;

void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint16_t VersionNeeded(ZipMethod method) {
    switch (method) {
        case ZipMethod::zmStore:
            return 10;
        case ZipMethod::zmDeflate:
            return 20;
        case ZipMethod::zmLzma:
            return 63;
    }
    return 63;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Local time as MS-DOS date and time words; dates before 1980 clamp to the epoch.
void DosDateTime(std::time_t t, std::uint16_t& date, std::uint16_t& time) {
    date = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
    time = 0;
    if (t == 0) return;
    std::tm parts{};
    if (!localtime_r(&t, &parts) || parts.tm_year < 80) return;
    date = static_cast<std::uint16_t>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    time = static_cast<std::uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
}

std::uint32_t Crc32(std::string_view data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* bytes = reinterpret_cast<const Bytef*>(data.data());
    std::size_t left = data.size();
    while (left > 0) {
        uInt chunk = static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, bytes, chunk);
        bytes += chunk;
        left -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

std::string RawDeflate(std::string_view data) {
    z_stream zs{};
    // Negative window bits: a raw stream without zlib header, as zip wants it.
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib: deflateInit2 failed");
    std::string out;
    out.resize(deflateBound(&zs, static_cast<uLong>(std::min<std::size_t>(data.size(), 0xFFFFFFFFu))) + 64);
    // zlib counts in 32-bit units: feed and drain the stream in chunks.
    const std::size_t kChunk = 1u << 30;
    std::size_t inPos = 0, produced = 0;
    int rc = Z_OK;
    do {
        if (zs.avail_in == 0 && inPos < data.size()) {
            std::size_t chunk = std::min(data.size() - inPos, kChunk);
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + inPos));
            zs.avail_in = static_cast<uInt>(chunk);
            inPos += chunk;
        }
        if (out.size() - produced < (1u << 16)) out.resize(out.size() * 2 + (1u << 16));
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs.avail_out = static_cast<uInt>(std::min(out.size() - produced, kChunk));
        const uInt before = zs.avail_out;
        rc = deflate(&zs, inPos == data.size() ? Z_FINISH : Z_NO_FLUSH);
        produced += before - zs.avail_out;
    } while (rc == Z_OK || rc == Z_BUF_ERROR);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib: deflate failed");
    out.resize(produced);
    return out;
}

std::string ZipLzma(std::string_view data) {
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 6)) throw std::runtime_error("liblzma: no preset 6");
    // A dictionary larger than the data only costs memory.
    const std::uint32_t smallest = 4096;
    if (data.size() < options.dict_size)
        options.dict_size = std::max<std::uint32_t>(smallest, static_cast<std::uint32_t>(data.size()));
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    std::uint8_t properties[5] = {};
    if (lzma_properties_encode(filters, properties) != LZMA_OK)
        throw std::runtime_error("liblzma: cannot encode properties");

    std::string out;
    // The zip LZMA header: SDK version 16.02, then the size of the properties (5).
    out.push_back(static_cast<char>(16));
    out.push_back(static_cast<char>(2));
    PutU16(out, 5);
    out.append(reinterpret_cast<const char*>(properties), 5);

    lzma_stream strm = LZMA_STREAM_INIT;
    // The raw LZMA1 encoder always ends its stream with the end marker.
    if (lzma_raw_encoder(&strm, filters) != LZMA_OK) throw std::runtime_error("liblzma: cannot start the encoder");
    std::size_t produced = out.size();
    out.resize(produced + data.size() + data.size() / 16 + 4096);
    strm.next_in = reinterpret_cast<const std::uint8_t*>(data.data());
    strm.avail_in = data.size();
    lzma_ret rc = LZMA_OK;
    while (rc == LZMA_OK) {
        if (out.size() == produced) out.resize(out.size() * 2);
        strm.next_out = reinterpret_cast<std::uint8_t*>(out.data() + produced);
        strm.avail_out = out.size() - produced;
        std::size_t before = strm.avail_out;
        rc = lzma_code(&strm, LZMA_FINISH);
        produced += before - strm.avail_out;
    }
    lzma_end(&strm);
    if (rc != LZMA_STREAM_END) throw std::runtime_error("liblzma: encoding failed (code " + std::to_string(rc) + ")");
    out.resize(produced);
    return out;
}

}  // namespace

std::string_view ZipMethodName(ZipMethod method) {
    switch (method) {
        case ZipMethod::zmStore:
            return "store";
        case ZipMethod::zmDeflate:
            return "deflate";
        case ZipMethod::zmLzma:
            return "lzma";
    }
    return "unknown";
}

TCompressedData CompressForZip(std::string_view data, ZipMethod method) {
    TCompressedData result;
    result.method = method;
    result.nCrc32 = Crc32(data);
    result.nUncompressedSize = data.size();
    switch (method) {
        case ZipMethod::zmStore:
            result.strBytes.assign(data);
            break;
        case ZipMethod::zmDeflate:
            result.strBytes = RawDeflate(data);
            break;
        case ZipMethod::zmLzma:
            result.strBytes = ZipLzma(data);
            break;
    }
    return result;
}

TCompressedData CompressSmallest(std::string_view data) {
    TCompressedData best = CompressForZip(data, ZipMethod::zmDeflate);
    if (best.strBytes.size() >= data.size()) {
        best.method = ZipMethod::zmStore;
        best.strBytes.assign(data);
        return best;
    }
    TCompressedData lzma = CompressForZip(data, ZipMethod::zmLzma);
    if (lzma.strBytes.size() < best.strBytes.size()) best = std::move(lzma);
    return best;
}

void TZipWriter::Add(const std::string& strName, const TCompressedData& data, std::time_t tModified) {
    if (m_bFinished) throw std::logic_error("TZipWriter: Add after Finish");
    if (strName.empty() || strName.size() > 0xFFFF) throw std::invalid_argument("zip entry name is empty or too long");
    if (data.nUncompressedSize > kMaxZip32 - 1 || data.strBytes.size() > kMaxZip32 - 1)
        throw std::length_error("\"" + strName + "\" is 4 GiB or larger; packages are limited to 4 GiB - 1 bytes");
    if (m_nEntries == 0xFFFF) throw std::length_error("zip archive: too many entries");

    std::uint16_t flags = 0;
    if (data.method == ZipMethod::zmLzma) flags |= kFlagLzmaEndMarker;
    if (!IsAscii(strName)) flags |= kFlagUtf8Name;
    std::uint16_t dosDate = 0, dosTime = 0;
    DosDateTime(tModified, dosDate, dosTime);
    const std::uint64_t localOffset = m_strArchive.size();

    std::string header;
    PutU32(header, 0x04034b50);
    PutU16(header, VersionNeeded(data.method));
    PutU16(header, flags);
    PutU16(header, static_cast<std::uint16_t>(data.method));
    PutU16(header, dosTime);
    PutU16(header, dosDate);
    PutU32(header, data.nCrc32);
    PutU32(header, static_cast<std::uint32_t>(data.strBytes.size()));
    PutU32(header, static_cast<std::uint32_t>(data.nUncompressedSize));
    PutU16(header, static_cast<std::uint16_t>(strName.size()));
    PutU16(header, 0);
    header += strName;
    if (localOffset + header.size() + data.strBytes.size() > kMaxZip32 - 1)
        throw std::length_error("zip archive would reach 4 GiB");
    m_strArchive += header;
    m_strArchive += data.strBytes;

    PutU32(m_strCentral, 0x02014b50);
    PutU16(m_strCentral, kMadeByUnix);
    PutU16(m_strCentral, VersionNeeded(data.method));
    PutU16(m_strCentral, flags);
    PutU16(m_strCentral, static_cast<std::uint16_t>(data.method));
    PutU16(m_strCentral, dosTime);
    PutU16(m_strCentral, dosDate);
    PutU32(m_strCentral, data.nCrc32);
    PutU32(m_strCentral, static_cast<std::uint32_t>(data.strBytes.size()));
    PutU32(m_strCentral, static_cast<std::uint32_t>(data.nUncompressedSize));
    PutU16(m_strCentral, static_cast<std::uint16_t>(strName.size()));
    PutU16(m_strCentral, 0);               // extra field
    PutU16(m_strCentral, 0);               // comment
    PutU16(m_strCentral, 0);               // disk number
    PutU16(m_strCentral, 0);               // internal attributes
    PutU32(m_strCentral, 0100644u << 16);  // a plain file, rw-r--r--
    PutU32(m_strCentral, static_cast<std::uint32_t>(localOffset));
    m_strCentral += strName;
    ++m_nEntries;
}

std::string TZipWriter::Finish() {
    if (m_bFinished) throw std::logic_error("TZipWriter: Finish called twice");
    m_bFinished = true;
    const std::uint64_t centralOffset = m_strArchive.size();
    if (centralOffset + m_strCentral.size() + 22 > kMaxZip32) throw std::length_error("zip archive would reach 4 GiB");
    std::string archive = std::move(m_strArchive);
    archive += m_strCentral;
    PutU32(archive, 0x06054b50);
    PutU16(archive, 0);  // this disk
    PutU16(archive, 0);  // disk of the central directory
    PutU16(archive, m_nEntries);
    PutU16(archive, m_nEntries);
    PutU32(archive, static_cast<std::uint32_t>(m_strCentral.size()));
    PutU32(archive, static_cast<std::uint32_t>(centralOffset));
    PutU16(archive, 0);  // comment length
    m_strCentral.clear();
    return archive;
}

std::string MakeZip(const std::vector<ZipEntry>& entries, ZipMethod method) {
    TZipWriter writer;
    for (const ZipEntry& entry : entries)
        writer.Add(entry.strName, CompressForZip(entry.strData, method), entry.tModified);
    return writer.Finish();
}
