#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "release/SigningKey.h"

// Detached signatures: beside a signed file `<name>` lies `<name>.sig`, one
// line holding the base64 of the 64-byte Ed25519 signature of the file's exact
// bytes. The installer fetches both and refuses the file when they disagree.

inline constexpr std::string_view kSignatureSuffix = ".sig";

std::filesystem::path SignaturePathOf(const std::filesystem::path& signedFile);

// What `<name>.sig` holds for a file of these `bytes`.
std::string SignatureFileText(std::string_view bytes, const TSigningKey& key);

// Writes `signedFile.sig` for `bytes` (the content `signedFile` holds),
// atomically. Call it after the file itself is in place: until then a reader
// sees the old signature, which does not match the new bytes and is refused
// rather than trusted.
void WriteSignatureOf(const std::filesystem::path& signedFile, std::string_view bytes, const TSigningKey& key);

// Writes `file` atomically, then its signature.
void WriteSignedFile(const std::filesystem::path& file, std::string_view bytes, const TSigningKey& key);
