#include "release/Md5Hex.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

#include "release/AtomicFile.h"

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
    TDigestContext ctx = NewMd5Context();
    ReadFileInBlocks(path, [&](std::string_view block) { EVP_DigestUpdate(ctx.get(), block.data(), block.size()); });
    return FinishHex(ctx.get());
}
