#include <gcrypt.h>

#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/Ed25519.h"

namespace {

constexpr size_t kSignatureSize = 64;
constexpr size_t kHalfSignature = kSignatureSize / 2;

struct TSexpFree {
    void operator()(gcry_sexp_t sexp) const { gcry_sexp_release(sexp); }
};
using TSexp = std::unique_ptr<gcry_sexp, TSexpFree>;

// libgcrypt must be initialised once before any other call, and its own
// initialisation is not safe against a second thread doing the same. Only
// public values pass through it, so secure memory is not needed.
void EnsureGcryptReady() {
    static std::once_flag once;
    static bool bReady = false;
    std::call_once(once, [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr) return;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        bReady = true;
    });
    if (!bReady) throw std::runtime_error("libgcrypt " GCRYPT_VERSION " or newer is needed for Ed25519");
}

TSexp Build(const char* format, auto... args) {
    gcry_sexp_t sexp = nullptr;
    if (gcry_sexp_build(&sexp, nullptr, format, args...) != 0)
        throw std::runtime_error("Ed25519 verification could not be set up");
    return TSexp(sexp);
}

}  // namespace

bool VerifyEd25519(const TEd25519PublicKey& key, std::string_view message, std::string_view signature) {
    if (signature.size() != kSignatureSize) return false;
    EnsureGcryptReady();
    const TSexp publicKey =
        Build("(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))", static_cast<int>(key.size()), key.data());
    const TSexp signatureValue =
        Build("(sig-val(eddsa(r %b)(s %b)))", static_cast<int>(kHalfSignature), signature.data(),
              static_cast<int>(kHalfSignature), signature.data() + kHalfSignature);
    const TSexp data =
        Build("(data(flags eddsa)(hash-algo sha512)(value %b))", static_cast<int>(message.size()), message.data());
    // Any error counts as a refusal: a key that is no point on the curve and a
    // signature whose s is out of range are reported as errors, not as "bad
    // signature", and neither may pass.
    return gcry_pk_verify(signatureValue.get(), data.get(), publicKey.get()) == 0;
}
