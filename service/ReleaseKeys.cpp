#include "service/ReleaseKeys.h"

#include <algorithm>
#include <optional>

#include "service/Base64.h"

namespace {

constexpr std::string_view kSpace = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::optional<TEd25519PublicKey> DecodeKey(std::string_view text) {
    const std::optional<std::string> bytes = Base64Decode(text);
    TEd25519PublicKey key{};
    if (!bytes || bytes->size() != key.size()) return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

}  // namespace

TReleaseKeys::TReleaseKeys(std::string_view list) : m_bEnforced(!Trimmed(list).empty()) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view entry = Trimmed(list.substr(start, comma - start));
        if (const auto key = DecodeKey(entry))
            m_lstKeys.push_back(*key);
        else if (!entry.empty())
            m_lstUnusable.emplace_back(entry);
        start = comma + 1;
    }
}

bool TReleaseKeys::Verifies(std::string_view content, std::string_view signatureFile) const {
    const std::optional<std::string> signature = Base64Decode(Trimmed(signatureFile));
    if (!signature) return false;
    return std::any_of(m_lstKeys.begin(), m_lstKeys.end(),
                       [&](const TEd25519PublicKey& key) { return VerifyEd25519(key, content, *signature); });
}
