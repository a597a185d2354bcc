#include "support/TestZip.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace {
struct TWriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct TEntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

la_ssize_t AppendToString(archive*, void* user, const void* buffer, size_t size) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(buffer), size);
    return static_cast<la_ssize_t>(size);
}
}  // namespace

std::string MakeTestZip(const std::vector<TZipEntry>& entries, TZipCompression method) {
    std::string out;
    std::unique_ptr<archive, TWriterDeleter> zip(archive_write_new());
    archive_write_set_format_zip(zip.get());
    archive_write_set_options(zip.get(), method == TZipCompression::Store ? "zip:compression=store"
                                                                          : "zip:compression=deflate");
    archive_write_set_bytes_in_last_block(zip.get(), 1);
    if (archive_write_open(zip.get(), &out, nullptr, &AppendToString, nullptr) != ARCHIVE_OK)
        throw std::runtime_error(archive_error_string(zip.get()));
    for (const TZipEntry& e : entries) {
        std::unique_ptr<archive_entry, TEntryDeleter> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), e.strName.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), e.nMode);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.strData.size()));
        if (archive_write_header(zip.get(), entry.get()) != ARCHIVE_OK)
            throw std::runtime_error(archive_error_string(zip.get()));
        if (!e.strData.empty() &&
            archive_write_data(zip.get(), e.strData.data(), e.strData.size()) != static_cast<la_ssize_t>(e.strData.size()))
            throw std::runtime_error(archive_error_string(zip.get()));
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK) throw std::runtime_error(archive_error_string(zip.get()));
    return out;
}

std::string Md5Upper(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(data.data(), data.size(), digest, &n, EVP_md5(), nullptr);
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned i = 0; i < n; ++i) {
        hex.push_back(kDigits[digest[i] >> 4]);
        hex.push_back(kDigits[digest[i] & 15]);
    }
    return hex;
}
