#pragma once
// Small PE images built byte by byte, for tests of reading a program's version
// and of anything that depends on the installed program's version.
#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// Little-endian stores that grow the buffer as needed.
void Put16(TBytes& b, size_t at, uint16_t v);
void Put32(TBytes& b, size_t at, uint32_t v);

// VS_VERSIONINFO with its key and VS_FIXEDFILEINFO (no string tables).
TBytes VersionInfo(uint16_t a, uint16_t b, uint16_t c, uint16_t d);

struct TResource {
    uint32_t nType;
    TBytes data;
};

inline constexpr uint32_t kSectionRva = 0x1000;
inline constexpr uint32_t kSectionFileOffset = 0x200;

// A resource section: root directory by type, one name and one language below
// each type, then the data entries and the data.
TBytes ResourceSection(const std::vector<TResource>& resources);

// A minimal PE image: DOS header, PE header, optional header with the
// resource directory, one ".rsrc" section.
TBytes PeImage(const TBytes& rsrc, bool pe32plus = false);

// The bytes of a program whose version resource says a.b.c.d.
std::string VersionedProgram(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
