#pragma once
#include <cstddef>
#include <string_view>

// Letter case as Windows' registry ignores it, for the scripts installation
// names are written in: Latin (with its accented letters), Greek and Cyrillic.
// Texts are UTF-8; a byte that is not valid UTF-8 compares as a replacement
// character, so a broken name never matches a sound one by accident.
bool SameIgnoringCase(std::string_view a, std::string_view b);
// Whether `text` begins with `prefix` ignoring case; `length` receives the
// bytes of `text` that matched (they may differ in number from the prefix's).
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix, size_t& length);
