#include "release/PackageFile.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace {

std::uint32_t LittleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::string ReadFirstEntryName(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be read");
    unsigned char header[30];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || LittleEndian(header, 4) != 0x04034b50)
        throw std::runtime_error("not a zip archive");
    std::string name(LittleEndian(header + 26, 2), '\0');
    if (!in.read(name.data(), static_cast<std::streamsize>(name.size())))
        throw std::runtime_error("truncated zip header");
    return name;
}
