// Reads arbitrary bytes as a package with both readers: libarchive's, which
// the Linux build unpacks with, and the own one, made for a build without
// libarchive. For every input both must give the same entry and the same
// bytes, or both refuse it; the first difference aborts with what differed.
// The one difference allowed: the own reader refuses what the release tool
// never writes (EPackageUnsupported), which libarchive may read. What the
// unpacker refuses after reading the entry counts as refused: libarchive
// hands out more than declared where the own reader stops, and reports an
// empty name where the own reader refuses a name that is not UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "workers/OwnZipPackageReader.h"
#include "workers/PackageReader.h"

namespace {

// Enough to compare any honest package the fuzzer makes; what unpacks to more
// (an LZMA bomb) is compared on its first bytes only, at a cost of
// milliseconds.
constexpr size_t kMaxCompared = 8 * 1024 * 1024;
constexpr size_t kBlock = 64 * 1024;

using TOpener = std::unique_ptr<IPackageReader> (*)(const std::string&);

struct TOutcome {
    bool bRefused = false;
    bool bUnsupported = false;
    bool bCut = false;  // more than kMaxCompared bytes
    std::string strError;
    TPackageEntry entry;
    std::string strBytes;
};

void ReadData(IPackageReader& reader, TOutcome& outcome) {
    const uint64_t nDeclared = outcome.entry.nDeclaredSize;
    std::string block(kBlock, '\0');
    for (size_t n = 0; (n = reader.Read(block)) > 0;) {
        outcome.strBytes.append(block.data(), n);
        if (outcome.entry.bSizeDeclared && outcome.strBytes.size() > nDeclared)
            throw std::runtime_error("more than the declared size");
        if (outcome.strBytes.size() > kMaxCompared) {
            outcome.bCut = true;
            return;
        }
    }
    if (outcome.entry.bSizeDeclared && outcome.strBytes.size() != nDeclared)
        throw std::runtime_error("less than the declared size");
}

// Reads as UnpackFirstEntry does: an entry without a name or that is no
// regular file is refused, and so is one that unpacks to another size than
// it declares.
TOutcome ReadWith(TOpener open, const std::string& package) {
    TOutcome outcome;
    try {
        const std::unique_ptr<IPackageReader> reader = open(package);
        outcome.entry = reader->FirstEntry();
        if (outcome.entry.strName.empty()) throw std::runtime_error("no name");
        if (!outcome.entry.bRegularFile) throw std::runtime_error("not a regular file");
        ReadData(*reader, outcome);
    } catch (const EPackageUnsupported& e) {
        outcome.bRefused = outcome.bUnsupported = true;
        outcome.strError = e.what();
    } catch (const std::runtime_error& e) {
        outcome.bRefused = true;
        outcome.strError = e.what();
    }
    return outcome;
}

[[noreturn]] void Fault(const std::string& what, const TOutcome& own, const TOutcome& libarchive) {
    std::fprintf(stderr, "reader differential fuzzer: %s\n  own: %s\n  libarchive: %s\n", what.c_str(),
                 own.bRefused ? own.strError.c_str() : "read",
                 libarchive.bRefused ? libarchive.strError.c_str() : "read");
    std::abort();
}

void CompareEntries(const TOutcome& own, const TOutcome& libarchive) {
    if (own.entry.strName != libarchive.entry.strName)
        Fault("names differ: \"" + own.entry.strName + "\" and \"" + libarchive.entry.strName + "\"", own, libarchive);
    if (own.entry.bRegularFile != libarchive.entry.bRegularFile) Fault("file types differ", own, libarchive);
    if (own.entry.nDeclaredSize != libarchive.entry.nDeclaredSize)
        Fault("declared sizes differ: " + std::to_string(own.entry.nDeclaredSize) + " and " +
                  std::to_string(libarchive.entry.nDeclaredSize),
              own, libarchive);
    if (own.entry.nPermissions != libarchive.entry.nPermissions)
        Fault("permissions differ: " + std::to_string(own.entry.nPermissions) + " and " +
                  std::to_string(libarchive.entry.nPermissions),
              own, libarchive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string package(reinterpret_cast<const char*>(data), size);
    const TOutcome own = ReadWith(&OpenOwnZipPackage, package);
    const TOutcome libarchive = ReadWith(&OpenPackage, package);
    if (own.bUnsupported) return 0;
    if (own.bCut && libarchive.bCut) {
        if (own.strBytes != libarchive.strBytes) Fault("the first bytes of a large entry differ", own, libarchive);
        return 0;
    }
    if (own.bRefused != libarchive.bRefused) Fault("one reader refuses, the other reads", own, libarchive);
    if (own.bRefused) return 0;
    CompareEntries(own, libarchive);
    if (own.strBytes != libarchive.strBytes)
        Fault("the bytes differ (" + std::to_string(own.strBytes.size()) + " and " +
                  std::to_string(libarchive.strBytes.size()) + " bytes)",
              own, libarchive);
    return 0;
}
