#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ed25519.h"

// The release signing keys an edition trusts. Made from the edition's list (a
// comma-separated list of base64 Ed25519 public keys; several while a key is
// being rotated). An empty list means the unsigned contract: nothing is
// verified. A list that is not empty always means verification, even when no
// entry of it is a usable key: then nothing verifies, rather than everything.
class TReleaseKeys {
public:
    TReleaseKeys() = default;
    explicit TReleaseKeys(std::string_view list);

    // Whether releases must be signed.
    bool Enforced() const { return m_bEnforced; }
    // Entries of the list that are not a base64 32-byte key, as written.
    const std::vector<std::string>& Unusable() const { return m_lstUnusable; }

    // Whether `signatureFile` (the text of a ".sig": one line of base64 of a
    // 64-byte signature; white space around it is ignored) is a signature of
    // `content` by one of the keys.
    bool Verifies(std::string_view content, std::string_view signatureFile) const;

private:
    bool m_bEnforced = false;
    std::vector<TEd25519PublicKey> m_lstKeys;
    std::vector<std::string> m_lstUnusable;
};
