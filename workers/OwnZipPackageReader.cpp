#include "workers/OwnZipPackageReader.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "workers/LzmaDecoder.h"
#include "workers/LzmaDictionaryCheck.h"
#include "workers/RawInflater.h"

namespace {

constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodLzma = 14;

uint32_t UpdateCrc32(uint32_t crc, std::span<const char> data) {
    // zlib counts in 32-bit units; a block handed out never comes near that.
    return static_cast<uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

std::unique_ptr<IPackageReader> OpenOwnZipPackage(const std::string& package) {
    return std::make_unique<TOwnZipPackageReader>(package);
}

TOwnZipPackageReader::TOwnZipPackageReader(const std::string& package)
    : m_nPackageSize(package.size()), m_nCrc32(static_cast<uint32_t>(crc32(0L, Z_NULL, 0))) {
    CheckLzmaDictionaries(package);
    m_Layout = TZipDirectory(package).FirstEntry();
    m_Packed = std::string_view(package).substr(m_Layout.nDataOffset, m_Layout.nCompressedSize);
    m_Entry.strName = m_Layout.strName;
    m_Entry.bRegularFile = m_Layout.bRegularFile;
    m_Entry.bSizeDeclared = true;
    m_Entry.nDeclaredSize = m_Layout.nUncompressedSize;
    m_Entry.nPermissions = m_Layout.nPermissions;
    // Packed data of no bytes at all (not even an LZMA header) is the empty
    // file to libarchive, whatever the method.
    if (m_Packed.empty()) return;
    if (m_Layout.nMethod == kMethodDeflate) m_Inflater = std::make_unique<TRawInflater>(m_Packed);
    if (m_Layout.nMethod == kMethodLzma) m_Lzma = std::make_unique<TLzmaDecoder>(m_Packed, m_Layout.nUncompressedSize);
}

TOwnZipPackageReader::~TOwnZipPackageReader() = default;

size_t TOwnZipPackageReader::Read(std::span<char> buffer) {
    if (m_bEnded || buffer.empty()) return 0;
    const size_t n = ReadPacked(buffer);
    if (n > m_Layout.nUncompressedSize - m_nProduced)
        throw std::runtime_error("Package entry " + m_Entry.strName + " is longer than its declared size");
    m_nProduced += n;
    m_nCrc32 = UpdateCrc32(m_nCrc32, buffer.first(n));
    if (n > 0) return n;
    CheckEnd();
    m_bEnded = true;
    return 0;
}

size_t TOwnZipPackageReader::ReadPacked(std::span<char> buffer) {
    if (m_Inflater) return m_Inflater->Read(buffer);
    if (m_Lzma) return m_Lzma->Read(buffer);
    const size_t n = std::min(buffer.size(), m_Packed.size() - m_nStoredPos);
    std::copy_n(m_Packed.data() + m_nStoredPos, n, buffer.data());
    m_nStoredPos += n;
    return n;
}

uint64_t TOwnZipPackageReader::Consumed() const {
    if (m_Inflater) return m_Inflater->Consumed();
    if (m_Lzma) return m_Lzma->Consumed();
    return m_nStoredPos;
}

// Packed bytes left over would be data no reader looks at: the headers lie.
// Packed data of no bytes is the empty file whatever the CRC field says;
// libarchive does not check it either.
void TOwnZipPackageReader::CheckEnd() const {
    const std::string& name = m_Entry.strName;
    if (m_nProduced != m_Layout.nUncompressedSize)
        throw std::runtime_error("Package entry " + name + " is shorter than its declared size");
    if (Consumed() != m_Layout.nCompressedSize)
        throw std::runtime_error("Package entry " + name + " does not fill its packed size");
    const bool bNoData = m_Packed.empty();
    if (m_nCrc32 != m_Layout.nCrc32 && !bNoData)
        throw std::runtime_error("Package entry " + name + " fails its CRC check");
}

// As TZipPackageReader estimates it: LZMA by its packed bytes, Deflate by the
// bytes it makes, stored data at the speed of a copy.
uint64_t TOwnZipPackageReader::UnpackCost(uint64_t nSize) const {
    if (m_Layout.nMethod == kMethodLzma) return m_nPackageSize * 66;
    if (m_Layout.nMethod == kMethodDeflate) return nSize * 3;
    return nSize / 4;
}
