#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "workers/PackageReader.h"
#include "workers/ZipDirectory.h"

class TRawInflater;
class TLzmaDecoder;

// The release's one-entry zips read without libarchive, for a build that has
// none: stored, Deflate (zlib) and LZMA (TLzmaDecoder) entries below 4 GiB.
// The data is checked against its declared size, packed size and CRC when its
// end is reached; a mismatch throws there, so that no damaged file is taken
// for whole.
class TOwnZipPackageReader final : public IPackageReader {
public:
    explicit TOwnZipPackageReader(const std::string& package);
    ~TOwnZipPackageReader() override;
    TOwnZipPackageReader(const TOwnZipPackageReader&) = delete;
    TOwnZipPackageReader& operator=(const TOwnZipPackageReader&) = delete;

    const TPackageEntry& FirstEntry() const override { return m_Entry; }
    size_t Read(std::span<char> buffer) override;
    uint64_t UnpackCost(uint64_t nSize) const override;

private:
    size_t ReadPacked(std::span<char> buffer);
    uint64_t Consumed() const;
    void CheckEnd() const;

    TZipEntryLayout m_Layout;
    TPackageEntry m_Entry;
    std::string_view m_Packed;
    size_t m_nPackageSize;
    size_t m_nStoredPos = 0;
    std::unique_ptr<TRawInflater> m_Inflater;
    std::unique_ptr<TLzmaDecoder> m_Lzma;
    uint32_t m_nCrc32;
    uint64_t m_nProduced = 0;
    bool m_bEnded = false;
};

// Opens `package` (which must outlive the reader) with TOwnZipPackageReader;
// throws as OpenPackage does.
std::unique_ptr<IPackageReader> OpenOwnZipPackage(const std::string& package);
