#include "support/ZipReadBack.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <memory>
#include <stdexcept>

namespace {

// libarchive converts UTF-8 entry names to the thread's character set and
// drops names it cannot convert (the "C" locale of a test run). Reading under
// a UTF-8 locale for this thread only shows the names as stored.
class TUtf8ThreadLocale {
public:
    TUtf8ThreadLocale() : m_Locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {
        if (m_Locale) m_Previous = uselocale(m_Locale);
    }
    ~TUtf8ThreadLocale() {
        if (!m_Locale) return;
        uselocale(m_Previous);
        freelocale(m_Locale);
    }

private:
    locale_t m_Locale;
    locale_t m_Previous = static_cast<locale_t>(0);
};

}  // namespace

std::vector<ZipEntry> ReadZipWithLibarchive(const std::string& zip) {
    TUtf8ThreadLocale utf8;
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_memory(reader.get(), zip.data(), zip.size()) != ARCHIVE_OK)
        throw std::runtime_error(std::string("libarchive: ") + archive_error_string(reader.get()));
    std::vector<ZipEntry> entries;
    archive_entry* entry = nullptr;
    int rc;
    // A warning is what libarchive gives for a UTF-8 name it cannot show in the
    // current locale; the name itself is still there.
    while ((rc = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK || rc == ARCHIVE_WARN) {
        ZipEntry read;
        const char* name = archive_entry_pathname_utf8(entry);
        read.strName = name ? name : "";
        char block[65536];
        la_ssize_t got;
        while ((got = archive_read_data(reader.get(), block, sizeof block)) > 0)
            read.strData.append(block, static_cast<std::size_t>(got));
        if (got < 0) throw std::runtime_error(std::string("libarchive: ") + archive_error_string(reader.get()));
        entries.push_back(std::move(read));
    }
    if (rc != ARCHIVE_EOF) throw std::runtime_error(std::string("libarchive: ") + archive_error_string(reader.get()));
    return entries;
}

int FirstEntryMethod(const std::string& zip) {
    if (zip.size() < 10) return -1;
    return static_cast<unsigned char>(zip[8]) | (static_cast<unsigned char>(zip[9]) << 8);
}
