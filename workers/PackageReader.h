#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

// A package that uses what the release tool never writes (ZIP64 records,
// encryption, a method other than stored, Deflate and LZMA): refused by the
// own reader, where libarchive's may read it.
class EPackageUnsupported : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The first entry of a package, as a reader sees it.
struct TPackageEntry {
    std::string strName;  // as stored, UTF-8
    bool bRegularFile = true;
    bool bSizeDeclared = false;
    uint64_t nDeclaredSize = 0;  // when bSizeDeclared
    uint32_t nPermissions = 0;   // the entry's permission bits; 0 when it carries none
};

// Reads the one file a release package holds. A package is held in memory
// whole; the reader never writes anything. A build has one reader for its
// package format, made by OpenPackage; a second format implements the same
// interface.
//
// Threads: one thread at a time (data may be read on another thread than the
// one that opened the package).
class IPackageReader {
public:
    virtual ~IPackageReader() = default;
    virtual const TPackageEntry& FirstEntry() const = 0;
    // Reads the next bytes of the first entry's data; 0 at its end. Throws
    // std::runtime_error for damaged data.
    virtual size_t Read(std::span<char> buffer) = 0;
    // What unpacking `nSize` bytes of this package costs, in rough
    // nanoseconds: only a hint for scheduling.
    virtual uint64_t UnpackCost(uint64_t nSize) const = 0;
};

// Opens `package` (which must outlive the reader) and reads its first entry's
// description. Throws std::runtime_error for a damaged package, one that holds
// no file, and one that would take unreasonable memory to read.
std::unique_ptr<IPackageReader> OpenPackage(const std::string& package);
