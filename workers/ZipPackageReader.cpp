#include "workers/ZipPackageReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <stdexcept>

#include "workers/LittleEndian.h"
#include "workers/LzmaDictionaryCheck.h"

namespace {

constexpr uint32_t kMethodDeflate = 8;
constexpr uint32_t kMethodLzma = 14;

[[noreturn]] void ThrowArchiveError(archive* zip, const std::string& what) {
    const char* detail = archive_error_string(zip);
    throw std::runtime_error(what + ": " + (detail != nullptr ? detail : "damaged archive"));
}

// Zip entry names flagged as UTF-8 are converted to the thread's character set
// by the zip reader; under the C locale names with accents would come out
// empty. Reading happens under a UTF-8 character set for this thread only.
// The locale is made once for the process and never freed: making and
// freeing it around every package loads and unloads glibc's locale data each
// time, thousands of times in a release of small files.
class TUtf8NamesScope {
public:
    TUtf8NamesScope() : m_Locale(Utf8Locale()) {
        if (m_Locale) m_Previous = uselocale(m_Locale);
    }
    ~TUtf8NamesScope() {
        if (m_Locale) uselocale(m_Previous);
    }
    TUtf8NamesScope(const TUtf8NamesScope&) = delete;
    TUtf8NamesScope& operator=(const TUtf8NamesScope&) = delete;

private:
    static locale_t Utf8Locale() {
        static const locale_t s_Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return s_Locale;
    }
    locale_t m_Locale;
    locale_t m_Previous = static_cast<locale_t>(0);
};

std::string EntryName(archive_entry* entry) {
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr) name = archive_entry_pathname(entry);
    return name != nullptr ? name : std::string();
}

}  // namespace

std::unique_ptr<IPackageReader> OpenPackage(const std::string& package) {
    return std::make_unique<TZipPackageReader>(package);
}

TZipPackageReader::TZipPackageReader(const std::string& package) : m_Package(package) {
    CheckLzmaDictionaries(package);
    m_Zip = archive_read_new();
    if (m_Zip == nullptr) throw std::runtime_error("Zip reader could not be created");
    try {
        archive_read_support_format_zip(m_Zip);
        if (archive_read_open_memory(m_Zip, package.data(), package.size()) != ARCHIVE_OK)
            ThrowArchiveError(m_Zip, "Cannot open package");
        ReadFirstHeader();
    } catch (...) {
        archive_read_free(m_Zip);
        throw;
    }
}

TZipPackageReader::~TZipPackageReader() { archive_read_free(m_Zip); }

void TZipPackageReader::ReadFirstHeader() {
    TUtf8NamesScope utf8Names;
    archive_entry* entry = nullptr;
    const int rc = archive_read_next_header(m_Zip, &entry);
    if (rc == ARCHIVE_EOF) throw std::runtime_error("Package holds no file");
    if (rc < ARCHIVE_WARN) ThrowArchiveError(m_Zip, "Cannot read package");
    m_Entry.strName = EntryName(entry);
    m_Entry.bRegularFile = archive_entry_filetype(entry) == AE_IFREG;
    m_Entry.bSizeDeclared = archive_entry_size_is_set(entry) != 0;
    m_Entry.nDeclaredSize = static_cast<uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0));
    m_Entry.nPermissions = static_cast<uint32_t>(archive_entry_perm(entry) & 0777);
}

size_t TZipPackageReader::Read(std::span<char> buffer) {
    const la_ssize_t n = archive_read_data(m_Zip, buffer.data(), buffer.size());
    if (n < 0) ThrowArchiveError(m_Zip, "Cannot unpack " + m_Entry.strName);
    return static_cast<size_t>(n);
}

// LZMA by its packed bytes (about 66 ms per MB here, whatever the ratio),
// Deflate by the bytes it makes (a few hundred MB/s), stored data at the speed
// of a copy. The method is read from the first local header, where the release
// tool puts the one entry.
uint64_t TZipPackageReader::UnpackCost(uint64_t nSize) const {
    const bool bLocalHeader = m_Package.size() >= 10 && m_Package.compare(0, 4, "PK\x03\x04", 4) == 0;
    const uint32_t method = bLocalHeader ? LittleEndianAt(m_Package, 8, 2) : 0;
    if (method == kMethodLzma) return m_Package.size() * 66;
    if (method == kMethodDeflate) return nSize * 3;
    return nSize / 4;
}
