#pragma once
#include <memory>
#include <string>

#include "workers/PackageReader.h"

struct archive;

// The release's packages are one-entry zips (stored, Deflate or LZMA); the
// zip reader here is libarchive's.
class TZipPackageReader final : public IPackageReader {
public:
    explicit TZipPackageReader(const std::string& package);
    ~TZipPackageReader() override;
    TZipPackageReader(const TZipPackageReader&) = delete;
    TZipPackageReader& operator=(const TZipPackageReader&) = delete;

    const TPackageEntry& FirstEntry() const override { return m_Entry; }
    size_t Read(std::span<char> buffer) override;
    uint64_t UnpackCost(uint64_t nSize) const override;

private:
    void ReadFirstHeader();

    const std::string& m_Package;
    archive* m_Zip = nullptr;
    TPackageEntry m_Entry;
};
