#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The four 16-bit parts of a file version: major.minor.release.build.
struct TFileVersion {
    uint16_t nMajor = 0;
    uint16_t nMinor = 0;
    uint16_t nRelease = 0;
    uint16_t nBuild = 0;
};

// The file version stored in the version resource (VS_FIXEDFILEINFO) of a PE
// image. Empty when the file cannot be read, is not a PE image or has no
// version resource. On Linux our own reader checks every offset taken from the
// file against the file's size, so a damaged or hostile file only yields an
// empty result; on Windows the system's version calls read it.
std::optional<TFileVersion> ReadPeFileVersion(const std::filesystem::path& file);

// "major.minor.release.build" when `full`, else "major.minor". A file without
// a readable version gives "65535.65535" in both forms.
std::string GetFileVersionString(const std::filesystem::path& file, bool full);
