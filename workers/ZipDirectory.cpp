#include "workers/ZipDirectory.h"

#include <algorithm>
#include <stdexcept>

#include "workers/LittleEndian.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxCommentSize = 0xFFFF;
// 0xFFFFFFFF in a size or an offset means "see the ZIP64 record".
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;

constexpr uint16_t kFlagEncrypted = 1u << 0;
constexpr uint16_t kFlagDataDescriptor = 1u << 3;
constexpr uint16_t kFlagStrongEncryption = 1u << 6;
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

// A ZIP64 extra field is refused even where the 32-bit fields look plain: it
// would be the only place a larger size is told.
void CheckNoZip64Extra(std::string_view extra) {
    size_t pos = 0;
    while (extra.size() - pos >= 4) {
        if (ReadLe(extra, pos, 2) == kZip64ExtraId) throw std::runtime_error("Package uses ZIP64 records");
        pos += 4 + ReadLe(extra, pos + 2, 2);
        if (pos > extra.size()) return;
    }
}

// Permissions and type as a Unix zip tool stores them in the high half of the
// external attributes; a DOS entry knows only "folder" and "read-only".
void ReadAttributes(uint8_t system, uint32_t external, TZipEntryLayout& entry) {
    if (system == kSystemUnix) {
        const uint32_t mode = external >> 16;
        entry.bRegularFile = (mode & kUnixTypeMask) == kUnixRegular;
        entry.nPermissions = mode & 0777;
    } else if (system == kSystemDos) {
        entry.bRegularFile = (external & kDosDirectory) == 0;
        entry.nPermissions = (entry.bRegularFile ? 0664 : 0775) & ((external & kDosReadOnly) ? 0555 : 0777);
    } else {
        entry.bRegularFile = false;
    }
}

}  // namespace

struct TZipDirectory::TCentralRecord {
    uint8_t nSystem = 0;
    uint16_t nFlags = 0;
    uint32_t nCrc32 = 0;
    uint32_t nCompressedSize = 0;
    uint32_t nUncompressedSize = 0;
    uint32_t nExternal = 0;
    uint32_t nLocalOffset = 0;
};

TZipDirectory::TZipDirectory(std::string_view package) : m_Package(package) {
    const TCentralRecord central = FirstCentralRecord(FindEndRecord());
    ReadAttributes(central.nSystem, central.nExternal, m_Entry);
    ReadLocalHeader(central);
    CheckSupported();
}

// The end record is the last one whose comment reaches the package's end
// exactly: a comment may itself hold the signature.
size_t TZipDirectory::FindEndRecord() const {
    if (m_Package.size() < kEndRecordSize) Damaged("too short for a zip");
    const size_t last = m_Package.size() - kEndRecordSize;
    const size_t first = last > kMaxCommentSize ? last - kMaxCommentSize : 0;
    for (size_t pos = last + 1; pos-- > first;) {
        if (ReadLe(m_Package, pos, 4) == kEndRecordSignature &&
            pos + kEndRecordSize + ReadLe(m_Package, pos + 20, 2) == m_Package.size())
            return pos;
    }
    Damaged("no central directory");
}

TZipDirectory::TCentralRecord TZipDirectory::FirstCentralRecord(size_t endRecord) const {
    if (endRecord >= kZip64LocatorSize && ReadLe(m_Package, endRecord - kZip64LocatorSize, 4) == kZip64LocatorSignature)
        throw std::runtime_error("Package uses ZIP64 records");
    const uint32_t nDisk = ReadLe(m_Package, endRecord + 4, 2);
    const uint32_t nDirectoryDisk = ReadLe(m_Package, endRecord + 6, 2);
    const uint32_t nEntriesHere = ReadLe(m_Package, endRecord + 8, 2);
    const uint32_t nEntries = ReadLe(m_Package, endRecord + 10, 2);
    const uint32_t nSize = ReadLe(m_Package, endRecord + 12, 4);
    const uint32_t nOffset = ReadLe(m_Package, endRecord + 16, 4);
    if (nEntries == 0xFFFF || nSize == kZip64Marker || nOffset == kZip64Marker)
        throw std::runtime_error("Package uses ZIP64 records");
    if (nDisk != 0 || nDirectoryDisk != 0 || nEntriesHere != nEntries) Damaged("spans several disks");
    if (nEntries == 0) throw std::runtime_error("Package holds no file");
    if (static_cast<uint64_t>(nOffset) + nSize != endRecord) Damaged("the central directory is misplaced");

    // The entry stored first is the one unpacked, whatever the directory's order.
    TCentralRecord first;
    first.nLocalOffset = kZip64Marker;
    size_t pos = nOffset;
    for (uint32_t i = 0; i < nEntries; ++i) {
        if (ReadLe(m_Package, pos, 4) != kCentralHeaderSignature || pos + kCentralHeaderSize > endRecord)
            Damaged("bad central directory entry");
        const size_t nVariable =
            size_t{ReadLe(m_Package, pos + 28, 2)} + ReadLe(m_Package, pos + 30, 2) + ReadLe(m_Package, pos + 32, 2);
        if (pos + kCentralHeaderSize + nVariable > endRecord) Damaged("a central directory entry runs past its end");
        const uint32_t nLocalOffset = ReadLe(m_Package, pos + 42, 4);
        if (nLocalOffset < first.nLocalOffset) {
            first.nSystem = static_cast<uint8_t>(ReadLe(m_Package, pos + 5, 1));
            first.nFlags = static_cast<uint16_t>(ReadLe(m_Package, pos + 8, 2));
            first.nCrc32 = ReadLe(m_Package, pos + 16, 4);
            first.nCompressedSize = ReadLe(m_Package, pos + 20, 4);
            first.nUncompressedSize = ReadLe(m_Package, pos + 24, 4);
            first.nExternal = ReadLe(m_Package, pos + 38, 4);
            first.nLocalOffset = nLocalOffset;
            CheckNoZip64Extra(Slice(m_Package, pos + kCentralHeaderSize + ReadLe(m_Package, pos + 28, 2),
                                    ReadLe(m_Package, pos + 30, 2)));
        }
        pos += kCentralHeaderSize + nVariable;
    }
    if (first.nCompressedSize == kZip64Marker || first.nUncompressedSize == kZip64Marker)
        throw std::runtime_error("Package uses ZIP64 records");
    return first;
}

// A local header that streams its sizes (a data descriptor follows the data)
// leaves them to the central directory; otherwise both copies must agree, or
// the bytes unpacked would depend on which copy a reader believes.
void TZipDirectory::ReadLocalHeader(const TCentralRecord& central) {
    const size_t pos = central.nLocalOffset;
    if (ReadLe(m_Package, pos, 4) != kLocalHeaderSignature) Damaged("no local header where the directory points");
    // Either copy saying "encrypted" is believed: a reader that looked only at
    // the other would hand out cipher text as the file.
    m_Entry.nFlags = static_cast<uint16_t>(ReadLe(m_Package, pos + 6, 2) |
                                           (central.nFlags & (kFlagEncrypted | kFlagStrongEncryption)));
    m_Entry.nMethod = static_cast<uint16_t>(ReadLe(m_Package, pos + 8, 2));
    m_Entry.nCrc32 = central.nCrc32;
    m_Entry.nCompressedSize = central.nCompressedSize;
    m_Entry.nUncompressedSize = central.nUncompressedSize;
    if ((m_Entry.nFlags & kFlagDataDescriptor) == 0 && (ReadLe(m_Package, pos + 14, 4) != central.nCrc32 ||
                                                        ReadLe(m_Package, pos + 18, 4) != central.nCompressedSize ||
                                                        ReadLe(m_Package, pos + 22, 4) != central.nUncompressedSize))
        Damaged("local and central headers disagree");
    const size_t nNameSize = ReadLe(m_Package, pos + 26, 2);
    const size_t nExtraSize = ReadLe(m_Package, pos + 28, 2);
    m_Entry.strName = Slice(m_Package, pos + kLocalHeaderSize, nNameSize);
    CheckNoZip64Extra(Slice(m_Package, pos + kLocalHeaderSize + nNameSize, nExtraSize));
    m_Entry.nDataOffset = pos + kLocalHeaderSize + nNameSize + nExtraSize;
    Slice(m_Package, m_Entry.nDataOffset, m_Entry.nCompressedSize);
    if (!m_Entry.strName.empty() && m_Entry.strName.back() == '/') m_Entry.bRegularFile = false;
}

void TZipDirectory::CheckSupported() const {
    if (m_Entry.nFlags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders))
        throw std::runtime_error("Package entry " + m_Entry.strName + " is encrypted");
    const uint16_t method = m_Entry.nMethod;
    if (method != kMethodStored && method != kMethodDeflate && method != kMethodLzma)
        throw std::runtime_error("Package entry " + m_Entry.strName + " uses the unknown method " +
                                 std::to_string(method));
}
