#pragma once
#include <string_view>

// True when `text` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);
