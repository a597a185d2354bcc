#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The `nBytes`-byte little-endian number at `pos` of `bytes`, as zip headers
// store them. The caller has checked that the bytes are there.
inline uint32_t LittleEndianAt(std::string_view bytes, size_t pos, size_t nBytes) {
    uint32_t value = 0;
    for (size_t i = nBytes; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
    return value;
}
