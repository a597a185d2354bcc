#include "workers/ZipDirectory.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "workers/LittleEndian.h"
#include "workers/PackageReader.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kEndRecordSearch = 16 * 1024;
// 0xFFFFFFFF in a size or an offset means "see the ZIP64 record".
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;

constexpr uint16_t kFlagEncrypted = 1u << 0;
constexpr uint16_t kFlagDataDescriptor = 1u << 3;
constexpr uint16_t kFlagStrongEncryption = 1u << 6;
constexpr uint16_t kFlagUtf8Name = 1u << 11;
constexpr uint16_t kFlagMaskedHeaders = 1u << 13;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodLzma = 14;

constexpr uint8_t kSystemDos = 0;
constexpr uint8_t kSystemUnix = 3;
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixRegular = 0100000;
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kDosReadOnly = 0x01;

[[noreturn]] void Damaged(const std::string& what) { throw std::runtime_error("Damaged package: " + what); }

uint32_t ReadLe(std::string_view bytes, size_t pos, size_t nBytes) {
    if (pos > bytes.size() || bytes.size() - pos < nBytes) Damaged("a header runs past the end");
    return LittleEndianAt(bytes, pos, nBytes);
}

std::string_view Slice(std::string_view bytes, size_t pos, size_t size) {
    if (pos > bytes.size() || bytes.size() - pos < size) Damaged("a header runs past the end");
    return bytes.substr(pos, size);
}

uint32_t LocalOrCentral(uint32_t local, uint32_t central) { return local != 0 ? local : central; }

// Extra fields must fill their space exactly (a few zero bytes of padding
// aside), as libarchive requires. A ZIP64 one is refused even where the
// 32-bit fields look plain: it would be the only place a larger size is told.
void CheckExtraFields(std::string_view extra) {
    size_t pos = 0;
    while (extra.size() - pos >= 4) {
        if (ReadLe(extra, pos, 2) == kZip64ExtraId) throw EPackageUnsupported("Package uses ZIP64 records");
        const size_t nFieldSize = ReadLe(extra, pos + 2, 2);
        if (extra.size() - pos - 4 < nFieldSize) Damaged("an extra field runs past its end");
        pos += 4 + nFieldSize;
    }
    if (extra.find_first_not_of('\0', pos) != std::string_view::npos) Damaged("a truncated extra field");
}

// Permissions and type as a Unix zip tool stores them in the high half of the
// external attributes (none there: a plain rw-rw-r-- file); any other system
// is read as DOS, which knows only "folder" and "read-only". libarchive reads
// them alike.
void ReadAttributes(uint8_t system, uint32_t external, TZipEntryLayout& entry) {
    if (system == kSystemUnix) {
        const uint32_t mode = external >> 16;
        entry.bRegularFile = (mode & kUnixTypeMask) == kUnixRegular || (mode & kUnixTypeMask) == 0;
        entry.nPermissions = mode == 0 ? 0664 : mode & 0777;
        return;
    }
    entry.bRegularFile = (external & kDosDirectory) == 0;
    entry.nPermissions = (entry.bRegularFile ? 0664 : 0775) & ((external & kDosReadOnly) ? 0555 : 0777);
}

// Length of the UTF-8 sequence starting with `lead`, and the smallest code
// point it may encode (a smaller one is an overlong form); 0: no lead byte.
std::pair<size_t, uint32_t> Utf8Sequence(unsigned char lead) {
    if (lead < 0x80) return {1, 0};
    if ((lead & 0xE0) == 0xC0) return {2, 0x80};
    if ((lead & 0xF0) == 0xE0) return {3, 0x800};
    if ((lead & 0xF8) == 0xF0) return {4, 0x10000};
    return {0, 0};
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        const auto [nLength, nSmallest] = Utf8Sequence(static_cast<unsigned char>(text[pos]));
        if (nLength == 0 || text.size() - pos < nLength) return false;
        uint32_t code = nLength == 1 ? static_cast<unsigned char>(text[pos])
                                     : static_cast<unsigned char>(text[pos]) & (0x7F >> nLength);
        for (size_t i = 1; i < nLength; ++i) {
            const unsigned char next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < nSmallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        pos += nLength;
    }
    return true;
}

// A DOS tool separates folders with back-slashes; the local header's "version
// needed" says which system wrote the entry, and is what libarchive goes by,
// where the name holds no slash already.
// A back-slash never occurs inside a multi-byte UTF-8 character.
// Names are UTF-8: flagged so, or plain bytes that happen to be UTF-8 (as
// older Unix tools write them). libarchive reports an empty name, which the
// unpacker refuses, for a flagged name that is not UTF-8; an unflagged one in
// a legacy character set it hands out as bytes no Windows path can take, and
// the release tool never writes one. A NUL would cut the name short where a
// C string ends it.
std::string EntryName(std::string_view stored, uint16_t flags, uint8_t localSystem) {
    if (stored.find('\0') != std::string_view::npos) throw EPackageUnsupported("Package entry name holds a NUL");
    if (!IsUtf8(stored)) {
        if (flags & kFlagUtf8Name) throw std::runtime_error("Package entry name is not UTF-8");
        throw EPackageUnsupported("Package entry name is in a legacy character set");
    }
    std::string name(stored);
    if (localSystem == kSystemDos && name.find('/') == std::string::npos)
        std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

}  // namespace

struct TZipDirectory::TCentralRecord {
    uint8_t nSystem = 0;
    uint16_t nFlags = 0;
    uint32_t nCrc32 = 0;
    uint32_t nCompressedSize = 0;
    uint32_t nUncompressedSize = 0;
    uint32_t nExternal = 0;
    int64_t nLocalOffset = 0;  // negative: before the package
};

TZipDirectory::TZipDirectory(std::string_view package) : m_Package(package) {
    const std::optional<size_t> endRecord = FindEndRecord();
    const TCentralRecord first = endRecord ? FirstCentralRecord(*endRecord) : LocalHeaderAlone();
    ReadAttributes(first.nSystem, first.nExternal, m_Entry);
    ReadLocalHeader(first);
    CheckSupported();
}

// The last end record signature in the package's last 16 KiB, where
// libarchive looks for it too: a package whose end record is missing or
// implausible is read by its local header alone, by both readers.
std::optional<size_t> TZipDirectory::FindEndRecord() const {
    if (m_Package.size() < kEndRecordSize) return std::nullopt;
    const size_t last = m_Package.size() - kEndRecordSize;
    const size_t first = m_Package.size() - std::min(m_Package.size(), kEndRecordSearch);
    for (size_t pos = last; pos > first; --pos) {
        if (ReadLe(m_Package, pos, 4) != kEndRecordSignature) continue;
        if (pos >= kZip64LocatorSize && ReadLe(m_Package, pos - kZip64LocatorSize, 4) == kZip64LocatorSignature)
            throw EPackageUnsupported("Package uses ZIP64 records");
        return PlausibleEndRecord(pos) ? std::optional<size_t>(pos) : std::nullopt;
    }
    return std::nullopt;
}

// One disk only, and a central directory that ends before the end record.
bool TZipDirectory::PlausibleEndRecord(size_t pos) const {
    const uint32_t nDisk = ReadLe(m_Package, pos + 4, 2);
    const bool bOneDisk = nDisk == 0 && ReadLe(m_Package, pos + 6, 2) == 0;
    const bool bAllEntriesHere = ReadLe(m_Package, pos + 8, 2) == ReadLe(m_Package, pos + 10, 2);
    // Summed in 32 bits, wrapping, as libarchive sums them: an offset that
    // wraps past the end record leaves every local header outside the
    // package, and the package is refused below.
    const uint32_t nDirectoryEnd = ReadLe(m_Package, pos + 12, 4) + ReadLe(m_Package, pos + 16, 4);
    return bOneDisk && bAllEntriesHere && nDirectoryEnd <= pos;
}

// The central directory is taken to end where the end record starts, and the
// local headers to move with it: data put before the zip (a self-extractor)
// does not change what is read.
TZipDirectory::TCentralRecord TZipDirectory::FirstCentralRecord(size_t endRecord) const {
    const size_t start = endRecord - ReadLe(m_Package, endRecord + 12, 4);
    const int64_t nShift = static_cast<int64_t>(start) - ReadLe(m_Package, endRecord + 16, 4);
    // The entry stored first is the one unpacked, whatever the directory's order.
    TCentralRecord first;
    first.nLocalOffset = INT64_MAX;
    // Entries follow one another up to an end record, whatever count it gives.
    for (size_t pos = start;;) {
        const uint32_t signature = ReadLe(m_Package, pos, 4);
        if (signature == kEndRecordSignature || signature == kZip64EndSignature) break;
        if (signature != kCentralHeaderSignature) Damaged("bad central directory entry");
        const size_t nNameSize = ReadLe(m_Package, pos + 28, 2);
        const size_t nExtraSize = ReadLe(m_Package, pos + 30, 2);
        const size_t nEnd = pos + kCentralHeaderSize + nNameSize + nExtraSize + ReadLe(m_Package, pos + 32, 2);
        CheckExtraFields(Slice(m_Package, pos + kCentralHeaderSize + nNameSize, nExtraSize));
        const int64_t nLocalOffset = ReadLe(m_Package, pos + 42, 4) + nShift;
        if (nLocalOffset < first.nLocalOffset) first = CentralRecordAt(pos, nLocalOffset);
        Slice(m_Package, pos, nEnd - pos);
        pos = nEnd;
    }
    if (first.nLocalOffset == INT64_MAX) throw std::runtime_error("Package holds no file");
    if (first.nCompressedSize == kZip64Marker || first.nUncompressedSize == kZip64Marker)
        throw EPackageUnsupported("Package uses ZIP64 records");
    return first;
}

TZipDirectory::TCentralRecord TZipDirectory::CentralRecordAt(size_t pos, int64_t nLocalOffset) const {
    TCentralRecord record;
    record.nSystem = static_cast<uint8_t>(ReadLe(m_Package, pos + 5, 1));
    record.nFlags = static_cast<uint16_t>(ReadLe(m_Package, pos + 8, 2));
    record.nCrc32 = ReadLe(m_Package, pos + 16, 4);
    record.nCompressedSize = ReadLe(m_Package, pos + 20, 4);
    record.nUncompressedSize = ReadLe(m_Package, pos + 24, 4);
    record.nExternal = ReadLe(m_Package, pos + 38, 4);
    record.nLocalOffset = nLocalOffset;
    return record;
}

// Without a central directory the first local header must tell the sizes
// itself, and with no attributes the entry is a plain file (rw-rw-r--, as
// libarchive reports it). libarchive's streaming reader takes a package that
// starts with a zip signature, and the first local header in it before any
// central directory.
TZipDirectory::TCentralRecord TZipDirectory::LocalHeaderAlone() const {
    if (!StartsWithSignature()) Damaged("not a zip");
    TCentralRecord record;
    record.nLocalOffset = FirstLocalHeader();
    const size_t pos = static_cast<size_t>(record.nLocalOffset);
    record.nSystem = kSystemDos;
    record.nFlags = static_cast<uint16_t>(ReadLe(m_Package, pos + 6, 2));
    if (record.nFlags & kFlagDataDescriptor) Damaged("no central directory to tell the sizes");
    record.nCrc32 = ReadLe(m_Package, pos + 14, 4);
    record.nCompressedSize = ReadLe(m_Package, pos + 18, 4);
    record.nUncompressedSize = ReadLe(m_Package, pos + 22, 4);
    return record;
}

bool TZipDirectory::StartsWithSignature() const {
    if (m_Package.size() < 4 || m_Package.substr(0, 2) != "PK") return false;
    static constexpr std::string_view kKinds[] = {"\x01\x02", "\x03\x04", "\x05\x06", "\x06\x06", "\x07\x08", "00"};
    return std::find(std::begin(kKinds), std::end(kKinds), m_Package.substr(2, 2)) != std::end(kKinds);
}

size_t TZipDirectory::FirstLocalHeader() const {
    for (size_t pos = m_Package.find("PK"); pos != std::string_view::npos; pos = m_Package.find("PK", pos + 1)) {
        const std::string_view kind = m_Package.substr(pos + 2, 2);
        if (kind == "\x03\x04") return pos;
        if (kind == "\x01\x02" || kind == "\x05\x06" || kind == "\x06\x06") break;
    }
    throw std::runtime_error("Package holds no file");
}

// The local header describes the data it precedes; where it leaves a value
// out (0: a data descriptor follows the data) the central directory tells it.
// The data is checked against the values taken, so a copy that disagrees
// cannot slip damaged data through; libarchive takes the same values.
void TZipDirectory::ReadLocalHeader(const TCentralRecord& central) {
    if (central.nLocalOffset < 0 || static_cast<uint64_t>(central.nLocalOffset) > m_Package.size())
        Damaged("no local header where the directory points");
    const size_t pos = static_cast<size_t>(central.nLocalOffset);
    if (ReadLe(m_Package, pos, 4) != kLocalHeaderSignature) Damaged("no local header where the directory points");
    // Either copy saying "encrypted" is believed: a reader that looked only at
    // the other would hand out cipher text as the file.
    m_Entry.nFlags = static_cast<uint16_t>(ReadLe(m_Package, pos + 6, 2) |
                                           (central.nFlags & (kFlagEncrypted | kFlagStrongEncryption)));
    m_Entry.nMethod = static_cast<uint16_t>(ReadLe(m_Package, pos + 8, 2));
    m_Entry.nCrc32 = LocalOrCentral(ReadLe(m_Package, pos + 14, 4), central.nCrc32);
    m_Entry.nCompressedSize = LocalOrCentral(ReadLe(m_Package, pos + 18, 4), central.nCompressedSize);
    m_Entry.nUncompressedSize = LocalOrCentral(ReadLe(m_Package, pos + 22, 4), central.nUncompressedSize);
    if (m_Entry.nCompressedSize == kZip64Marker || m_Entry.nUncompressedSize == kZip64Marker)
        throw EPackageUnsupported("Package uses ZIP64 records");
    const size_t nNameSize = ReadLe(m_Package, pos + 26, 2);
    const size_t nExtraSize = ReadLe(m_Package, pos + 28, 2);
    m_Entry.strName = EntryName(Slice(m_Package, pos + kLocalHeaderSize, nNameSize), m_Entry.nFlags,
                                static_cast<uint8_t>(ReadLe(m_Package, pos + 5, 1)));
    CheckExtraFields(Slice(m_Package, pos + kLocalHeaderSize + nNameSize, nExtraSize));
    m_Entry.nDataOffset = pos + kLocalHeaderSize + nNameSize + nExtraSize;
    Slice(m_Package, m_Entry.nDataOffset, m_Entry.nCompressedSize);
    if (!m_Entry.strName.empty() && m_Entry.strName.back() == '/') MarkAsFolder();
}

// A name ending in a slash is a folder whatever the attributes say; a folder
// the attributes took for a file is made searchable, as libarchive makes it.
void TZipDirectory::MarkAsFolder() {
    if (m_Entry.bRegularFile) m_Entry.nPermissions |= 0111;
    m_Entry.bRegularFile = false;
}

void TZipDirectory::CheckSupported() const {
    if (m_Entry.nFlags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders))
        throw EPackageUnsupported("Package entry " + m_Entry.strName + " is encrypted");
    const uint16_t method = m_Entry.nMethod;
    if (method != kMethodStored && method != kMethodDeflate && method != kMethodLzma)
        throw EPackageUnsupported("Package entry " + m_Entry.strName + " uses the unknown method " +
                                  std::to_string(method));
}
