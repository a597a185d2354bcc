#include "service/Base64.h"

#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t count = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) group = (group << 8) | (k < count ? static_cast<uint8_t>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k) text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int value = k < 4 - padding ? DigitValue(text[i + k]) : 0;
            if (value < 0) return std::nullopt;
            group = (group << 6) | static_cast<uint32_t>(value);
        }
        // Bits below the last whole byte must be zero: one text for one key.
        if ((padding == 1 && (group & 0xFF)) || (padding == 2 && (group & 0xFFFF))) return std::nullopt;
        for (size_t k = 0; k < 3 - padding; ++k) bytes += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
    }
    return bytes;
}
