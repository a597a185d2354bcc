#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where a package's first entry lies and what its headers say of it.
struct TZipEntryLayout {
    std::string strName;  // from the local header, as stored (UTF-8)
    uint16_t nFlags = 0;
    uint16_t nMethod = 0;
    uint32_t nCrc32 = 0;
    uint32_t nCompressedSize = 0;
    uint32_t nUncompressedSize = 0;
    size_t nDataOffset = 0;  // the compressed data, bound-checked against the package
    bool bRegularFile = true;
    uint32_t nPermissions = 0;
};

// Reads the headers of a release package: the end record, the central
// directory and the local header of the entry stored first (the local header
// alone where no plausible end record is found, as libarchive does).
// Everything the release tool never writes (ZIP64 records, encryption, other
// methods) is refused with EPackageUnsupported, and every header that
// does not lie whole inside the package or disagrees with its other copy
// with std::runtime_error.
class TZipDirectory {
public:
    explicit TZipDirectory(std::string_view package);
    const TZipEntryLayout& FirstEntry() const { return m_Entry; }

private:
    struct TCentralRecord;
    std::optional<size_t> FindEndRecord() const;
    bool PlausibleEndRecord(size_t pos) const;
    TCentralRecord FirstCentralRecord(size_t endRecord) const;
    TCentralRecord CentralRecordAt(size_t pos, int64_t nLocalOffset) const;
    TCentralRecord LocalHeaderAlone() const;
    bool StartsWithSignature() const;
    size_t FirstLocalHeader() const;
    void ReadLocalHeader(const TCentralRecord& central);
    void MarkAsFolder();
    void CheckSupported() const;

    std::string_view m_Package;
    TZipEntryLayout m_Entry;
};
