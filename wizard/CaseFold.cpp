#include "wizard/CaseFold.h"

#include <cstdint>

namespace {

constexpr char32_t cReplacement = 0xFFFD;

// Decodes the code point at `pos` and moves past it; a broken sequence gives
// the replacement character and moves one byte on.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byte = [&text](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(pos);
    int length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        ++pos;
        return cReplacement;
    }
    if (pos + length > text.size()) {
        ++pos;
        return cReplacement;
    }
    for (int i = 1; i < length; ++i) {
        const uint8_t next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return cReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return cReplacement;
    }
    pos += length;
    return cp;
}

// Simple case folding of the letters that have a case pair in these scripts.
char32_t Fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x3BC;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return c;
        if (c == 0x178) return 0xFF;
        if (c == 0x17F) return 's';
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x138 || c == 0x149) return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c == 0x3C2) return 0x3C3;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    return c;
}

}  // namespace

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix, size_t& length) {
    size_t t = 0;
    size_t p = 0;
    while (p < prefix.size()) {
        if (t >= text.size()) return false;
        if (Fold(NextCodePoint(text, t)) != Fold(NextCodePoint(prefix, p))) return false;
    }
    length = t;
    return true;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    size_t length = 0;
    return StartsWithIgnoringCase(a, b, length) && length == a.size();
}
