#include "release/SignatureFile.h"

#include <string>

#include "release/AtomicFile.h"
#include "service/Base64.h"

std::filesystem::path SignaturePathOf(const std::filesystem::path& signedFile) {
    std::filesystem::path path = signedFile;
    path += std::string(kSignatureSuffix);
    return path;
}

std::string SignatureFileText(std::string_view bytes, const TSigningKey& key) {
    return Base64Encode(key.Sign(bytes)) + "\n";
}

void WriteSignatureOf(const std::filesystem::path& signedFile, std::string_view bytes, const TSigningKey& key) {
    WriteFileAtomically(SignaturePathOf(signedFile), SignatureFileText(bytes, key));
}

void WriteSignedFile(const std::filesystem::path& file, std::string_view bytes, const TSigningKey& key) {
    WriteFileAtomically(file, bytes);
    WriteSignatureOf(file, bytes, key);
}
