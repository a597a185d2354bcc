#pragma once
#include <array>
#include <cstdint>
#include <string_view>

// A raw Ed25519 public key (RFC 8032), as published in a release key's ".pub".
using TEd25519PublicKey = std::array<uint8_t, 32>;

// Whether `signature` (the 64 raw bytes) is a valid Ed25519 signature of
// `message` by `key`. Anything that is not 64 bytes is not one. Never throws
// for bad input; throws std::runtime_error only when the system's cryptography
// itself cannot be used.
bool VerifyEd25519(const TEd25519PublicKey& key, std::string_view message, std::string_view signature);
