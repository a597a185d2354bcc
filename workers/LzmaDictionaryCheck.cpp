#include "workers/LzmaDictionaryCheck.h"

#include <stdexcept>

#include "workers/LittleEndian.h"

namespace {

constexpr uint32_t kMethodLzma = 14;

}  // namespace

// liblzma allocates the whole dictionary that an LZMA entry asks for before it
// decodes a byte, and libarchive's zip reader sets it no memory limit: a
// package of a few hundred bytes could take gigabytes from each worker. Every
// local header is checked, as that reader may take any of them for the first
// entry, and like it this looks at the low byte of the method only. Both
// readers refuse the same packages with it.
void CheckLzmaDictionaries(const std::string& package) {
    static const std::string kLocalHeader("PK\x03\x04", 4);
    constexpr size_t kLocalHeaderSize = 30;
    for (size_t pos = package.find(kLocalHeader); pos != std::string::npos; pos = package.find(kLocalHeader, pos + 1)) {
        if (package.size() - pos < kLocalHeaderSize || static_cast<unsigned char>(package[pos + 8]) != kMethodLzma)
            continue;
        // The data starts with the LZMA SDK version (2 bytes), the size of the
        // properties (2 bytes), then the properties: one byte, the dictionary size.
        const size_t data =
            pos + kLocalHeaderSize + LittleEndianAt(package, pos + 26, 2) + LittleEndianAt(package, pos + 28, 2);
        if (data + 9 > package.size()) continue;
        const uint32_t nDictionary = LittleEndianAt(package, data + 5, 4);
        if (nDictionary > kMaxLzmaDictionary)
            throw std::runtime_error("Package asks for an LZMA dictionary of " + std::to_string(nDictionary) +
                                     " bytes, more than the " + std::to_string(kMaxLzmaDictionary) + " allowed");
    }
}
