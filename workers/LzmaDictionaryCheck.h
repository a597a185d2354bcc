#pragma once
#include <cstdint>
#include <string>

// The largest LZMA dictionary a package may ask for: that of the standard
// presets (xz -9, 7-Zip ultra); the release tool uses 8 MiB at most.
inline constexpr uint32_t kMaxLzmaDictionary = 64u << 20;

// Throws std::runtime_error when any local header of `package` announces LZMA
// data asking for a dictionary beyond kMaxLzmaDictionary.
void CheckLzmaDictionaries(const std::string& package);
