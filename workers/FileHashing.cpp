#include "workers/FileHashing.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <vector>

#include "diagnostics/Log.h"

namespace {

// Release files run to hundreds of megabytes and every update hashes all of
// them; large reads keep the digest bound by the disk, not by system calls.
constexpr size_t kReadBufferSize = 256 * 1024;

std::string ErrnoText(int error) {
    char buffer[256];
    // GNU strerror_r answers a pointer that need not be the buffer.
    return strerror_r(error, buffer, sizeof(buffer));
}

class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : m_nFd(fd) {}
    ~TFileDescriptor() {
        if (m_nFd >= 0) ::close(m_nFd);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

struct TDigestDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

[[noreturn]] void ThrowFileError(const char* what, const std::filesystem::path& FileName, int error) {
    throw std::runtime_error(std::string(what) + " \"" + FileName.string() + "\". " + ErrnoText(error));
}

std::string HexUpper(const unsigned char* data, unsigned int size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

bool SameDigest(const std::string& local, const std::string& remote) {
    if (local == remote) return true;
    if (local.empty() || remote.empty() || local.size() != remote.size()) return false;
    for (size_t i = 0; i < local.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(local[i]);
        unsigned char b = static_cast<unsigned char>(remote[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::string GetFileMD5(const std::filesystem::path& FileName) {
    TFileDescriptor fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT) return {};
        ThrowFileError("Cannot open file", FileName, errno);
    }

    std::unique_ptr<EVP_MD_CTX, TDigestDeleter> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
        throw std::runtime_error("MD5 digest could not be set up");

    std::vector<unsigned char> buffer(kReadBufferSize);
    for (;;) {
        const ssize_t nRead = ::read(fd.Get(), buffer.data(), buffer.size());
        if (nRead < 0) {
            if (errno == EINTR) continue;
            ThrowFileError("Cannot read file", FileName, errno);
        }
        if (nRead == 0) break;
        if (EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<size_t>(nRead)) != 1)
            throw std::runtime_error("MD5 digest failed");
    }

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &nDigest) != 1) throw std::runtime_error("MD5 digest failed");
    return HexUpper(digest, nDigest);
}

std::string GetFileModifiedTime(const std::filesystem::path& FileName) {
    struct stat info {};
    if (::stat(FileName.c_str(), &info) != 0) return ErrnoText(errno);
    std::tm local{};
    const time_t seconds = info.st_mtim.tv_sec;
    if (localtime_r(&seconds, &local) == nullptr) return ErrnoText(errno);
    char text[32];
    std::strftime(text, sizeof(text), "%d/%m/%Y %H:%M:%S", &local);
    return text;
}

std::string GetFileSizeText(const std::filesystem::path& FileName) {
    struct stat info {};
    if (::stat(FileName.c_str(), &info) != 0) return ErrnoText(errno);
    return std::to_string(static_cast<uint64_t>(info.st_size) & 0xFFFFFFFFull);
}

bool ValidateMD5Hash(const std::filesystem::path& FileName, const std::string& RemoteMd5) {
    try {
        const std::string local = GetFileMD5(FileName);
        const bool bMatch = SameDigest(local, RemoteMd5);
        std::string line = "File=" + FileName.filename().string() + " Remote=" + RemoteMd5 + " " +
                           BoolText(bMatch) + " Local=" + local;
        if (!bMatch)
            line += " Modified at: " + GetFileModifiedTime(FileName) + " File size: " + GetFileSizeText(FileName) +
                    " bytes";
        AppendLog("ValidateMD5Hash: " + line);
        return bMatch;
    } catch (const std::exception& e) {
        try {
            AppendLog("ValidateMD5Hash: Exception validating file MD5. Remote=" + RemoteMd5 + "Exception = " +
                      e.what());
        } catch (...) {
            // Out of memory for the line itself: the answer is still a mismatch.
        }
        return false;
    }
}
