#include "release/SignatureFile.h"

#include <string>

#include "release/AtomicFile.h"
#include "service/Base64.h"

std::filesystem::path SignaturePathOf(const std::filesystem::path& signedFile) {
    std::filesystem::path path = signedFile;
    path += std::string(kSignatureSuffix);
    return path;
}

void WriteSignatureOf(const std::filesystem::path& signedFile, std::string_view bytes, const TSigningKey& key) {
    WriteFileAtomically(SignaturePathOf(signedFile), Base64Encode(key.Sign(bytes)) + "\n");
}

void WriteSignedFile(const std::filesystem::path& file, std::string_view bytes, const TSigningKey& key) {
    WriteFileAtomically(file, bytes);
    WriteSignatureOf(file, bytes, key);
}
