#include "platform/FileVersion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// A version resource is a few kilobytes; a larger claim is a damaged file.
constexpr uint32_t kMaxVersionResource = 1u << 20;
// The whole resource section is only read for the fallback scan.
constexpr uint32_t kMaxScannedSection = 64u << 20;

// Random access to the file in which every read names its range and fails,
// rather than reading past the end, when the range is not wholly inside.
class TBoundedFile {
public:
    explicit TBoundedFile(const std::filesystem::path& path) : m_In(path, std::ios::binary) {
        if (!m_In) return;
        m_In.seekg(0, std::ios::end);
        const auto end = m_In.tellg();
        if (end > 0) m_nSize = static_cast<uint64_t>(end);
    }

    uint64_t Size() const { return m_nSize; }

    bool Read(uint64_t offset, void* out, uint64_t length) {
        if (offset > m_nSize || length > m_nSize - offset) return false;
        m_In.clear();
        m_In.seekg(static_cast<std::streamoff>(offset));
        m_In.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
        return static_cast<uint64_t>(m_In.gcount()) == length;
    }

    bool ReadBytes(uint64_t offset, uint64_t length, std::vector<uint8_t>& out) {
        if (offset > m_nSize || length > m_nSize - offset) return false;
        out.resize(length);
        return Read(offset, out.data(), length);
    }

    template <class T>
    std::optional<T> ReadLe(uint64_t offset) {
        std::array<uint8_t, sizeof(T)> bytes{};
        if (!Read(offset, bytes.data(), bytes.size())) return std::nullopt;
        T value = 0;
        for (size_t i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | bytes[i]);
        return value;
    }

private:
    std::ifstream m_In;
    uint64_t m_nSize = 0;
};

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct TSection {
    uint32_t nVirtualAddress = 0;
    uint32_t nRawSize = 0;
    uint32_t nRawOffset = 0;
};

struct TImage {
    std::vector<TSection> sections;
    uint32_t nResourceRva = 0;
};

// Reads the headers far enough to know the sections and where the resources are.
std::optional<TImage> ReadImage(TBoundedFile& file) {
    if (file.ReadLe<uint16_t>(0) != 0x5A4D) return std::nullopt;  // "MZ"
    const auto peOffset = file.ReadLe<uint32_t>(0x3C);
    if (!peOffset || file.ReadLe<uint32_t>(*peOffset) != 0x00004550u) return std::nullopt;  // "PE\0\0"
    const uint64_t coff = uint64_t(*peOffset) + 4;
    const auto sectionCount = file.ReadLe<uint16_t>(coff + 2);
    const auto optionalSize = file.ReadLe<uint16_t>(coff + 16);
    if (!sectionCount || !optionalSize) return std::nullopt;
    const uint64_t optional = coff + 20;
    const auto magic = file.ReadLe<uint16_t>(optional);
    if (!magic) return std::nullopt;
    uint64_t countOffset, directoriesOffset;
    if (*magic == 0x10B) {
        countOffset = 92, directoriesOffset = 96;  // PE32
    } else if (*magic == 0x20B) {
        countOffset = 108, directoriesOffset = 112;  // PE32+
    } else {
        return std::nullopt;
    }
    const auto directoryCount = file.ReadLe<uint32_t>(optional + countOffset);
    const uint64_t resourceEntry = directoriesOffset + kResourceDirectoryIndex * 8;
    if (!directoryCount || *directoryCount <= kResourceDirectoryIndex || resourceEntry + 8 > *optionalSize)
        return std::nullopt;
    TImage image;
    const auto resourceRva = file.ReadLe<uint32_t>(optional + resourceEntry);
    if (!resourceRva || *resourceRva == 0) return std::nullopt;
    image.nResourceRva = *resourceRva;

    const uint64_t table = optional + *optionalSize;
    for (uint32_t i = 0; i < *sectionCount; ++i) {
        std::array<uint8_t, 40> raw{};
        if (!file.Read(table + uint64_t(i) * 40, raw.data(), raw.size())) return std::nullopt;
        image.sections.push_back({Le32(&raw[12]), Le32(&raw[16]), Le32(&raw[20])});
    }
    return image;
}

// File offset of `length` bytes at `rva`, when they lie in one section's file data.
std::optional<uint64_t> RvaToOffset(const TImage& image, uint32_t rva, uint32_t length) {
    for (const auto& s : image.sections) {
        if (rva < s.nVirtualAddress) continue;
        const uint64_t delta = uint64_t(rva) - s.nVirtualAddress;
        if (delta + length <= s.nRawSize) return uint64_t(s.nRawOffset) + delta;
    }
    return std::nullopt;
}

// One IMAGE_RESOURCE_DIRECTORY_ENTRY chosen from a directory: the entry with
// `wantedId`, or the first entry when no id is wanted.
std::optional<uint32_t> PickEntry(TBoundedFile& file, uint64_t directory, std::optional<uint32_t> wantedId) {
    const auto named = file.ReadLe<uint16_t>(directory + 12);
    const auto ids = file.ReadLe<uint16_t>(directory + 14);
    if (!named || !ids) return std::nullopt;
    // One read for the whole table: a damaged count must not cost a read per entry.
    std::vector<uint8_t> entries;
    if (!file.ReadBytes(directory + 16, (uint64_t(*named) + *ids) * 8, entries)) return std::nullopt;
    for (size_t at = 0; at < entries.size(); at += 8) {
        if (!wantedId || Le32(&entries[at]) == *wantedId) return Le32(&entries[at + 4]);
    }
    return std::nullopt;
}

// The version data of the first version resource: type 16, then the first
// name and the first language below it.
std::optional<std::vector<uint8_t>> FindVersionResource(TBoundedFile& file, const TImage& image) {
    const auto root = RvaToOffset(image, image.nResourceRva, 16);
    if (!root) return std::nullopt;
    uint64_t directory = *root;
    std::optional<uint32_t> wanted = kResourceTypeVersion;
    for (int level = 0; level < 3; ++level) {
        const auto target = PickEntry(file, directory, wanted);
        if (!target) return std::nullopt;
        const bool isDirectory = (*target & kHighBit) != 0;
        if (isDirectory != (level < 2)) return std::nullopt;
        directory = *root + (*target & ~kHighBit);
        wanted.reset();
    }
    const auto dataRva = file.ReadLe<uint32_t>(directory);
    const auto dataSize = file.ReadLe<uint32_t>(directory + 4);
    if (!dataRva || !dataSize || *dataSize == 0 || *dataSize > kMaxVersionResource) return std::nullopt;
    const auto dataOffset = RvaToOffset(image, *dataRva, *dataSize);
    std::vector<uint8_t> data;
    if (!dataOffset || !file.ReadBytes(*dataOffset, *dataSize, data)) return std::nullopt;
    return data;
}

std::optional<TFileVersion> FixedInfoAt(const std::vector<uint8_t>& data, size_t offset) {
    if (offset > data.size() || data.size() - offset < 16) return std::nullopt;
    if (Le32(&data[offset]) != kFixedFileInfoSignature) return std::nullopt;
    const uint32_t ms = Le32(&data[offset + 8]);
    const uint32_t ls = Le32(&data[offset + 12]);
    return TFileVersion{uint16_t(ms >> 16), uint16_t(ms & 0xFFFF), uint16_t(ls >> 16), uint16_t(ls & 0xFFFF)};
}

// Finds the UTF-16 key "VS_VERSION_INFO" and the fixed block that follows it,
// aligned to 32 bits from the start of the VS_VERSIONINFO structure (6 bytes
// before the key). `data` starts on a 32-bit boundary of the image.
std::optional<TFileVersion> ScanForVersionInfo(const std::vector<uint8_t>& data) {
    static const std::string_view kKey = "VS_VERSION_INFO";
    std::vector<uint8_t> needle;
    for (char c : kKey) needle.insert(needle.end(), {uint8_t(c), 0});
    needle.insert(needle.end(), {0, 0});
    auto it = data.begin();
    while ((it = std::search(it, data.end(), needle.begin(), needle.end())) != data.end()) {
        const size_t keyOffset = size_t(it - data.begin());
        if (keyOffset >= 6 && (keyOffset - 6) % 4 == 0) {
            const size_t fixed = (keyOffset + needle.size() + 3) & ~size_t(3);
            if (auto version = FixedInfoAt(data, fixed)) return version;
        }
        ++it;
    }
    return std::nullopt;
}

// The section that holds the resource directory, read whole, for the scan
// when the directory tree itself is damaged.
std::optional<std::vector<uint8_t>> ResourceSection(TBoundedFile& file, const TImage& image) {
    for (const auto& s : image.sections) {
        if (image.nResourceRva < s.nVirtualAddress || image.nResourceRva - s.nVirtualAddress >= s.nRawSize) continue;
        if (s.nRawSize > kMaxScannedSection) return std::nullopt;
        std::vector<uint8_t> data;
        if (!file.ReadBytes(s.nRawOffset, s.nRawSize, data)) return std::nullopt;
        return data;
    }
    return std::nullopt;
}

}  // namespace

std::optional<TFileVersion> ReadPeFileVersion(const std::filesystem::path& path) {
    TBoundedFile file(path);
    if (file.Size() == 0) return std::nullopt;
    const auto image = ReadImage(file);
    if (!image) return std::nullopt;
    if (const auto data = FindVersionResource(file, *image)) {
        // VS_VERSIONINFO: three words, the key, padding, then VS_FIXEDFILEINFO.
        if (auto version = ScanForVersionInfo(*data)) return version;
    }
    if (const auto section = ResourceSection(file, *image)) return ScanForVersionInfo(*section);
    return std::nullopt;
}
