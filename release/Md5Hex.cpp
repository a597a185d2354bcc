#include "release/Md5Hex.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using TDigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

TDigestContext NewMd5Context() {
    TDigestContext ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
        throw std::runtime_error("OpenSSL: MD5 unavailable");
    return ctx;
}

std::string FinishHex(EVP_MD_CTX* ctx) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx, digest, &length) != 1) throw std::runtime_error("OpenSSL: MD5 failed");
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kHex[digest[i] >> 4]);
        hex.push_back(kHex[digest[i] & 0x0F]);
    }
    return hex;
}

}  // namespace

std::string Md5Hex(std::string_view data) {
    TDigestContext ctx = NewMd5Context();
    EVP_DigestUpdate(ctx.get(), data.data(), data.size());
    return FinishHex(ctx.get());
}

std::string FileMd5Hex(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot read \"" + path.string() + "\": " + std::strerror(errno));
    TDigestContext ctx = NewMd5Context();
    std::vector<char> block(1 << 20);
    for (;;) {
        ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int err = errno;
            ::close(fd);
            throw std::runtime_error("cannot read \"" + path.string() + "\": " + std::strerror(err));
        }
        if (got == 0) break;
        EVP_DigestUpdate(ctx.get(), block.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return FinishHex(ctx.get());
}
