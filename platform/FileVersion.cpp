#include "platform/FileVersion.h"

// What is the same on every system; ReadPeFileVersion is each system's own.

std::string GetFileVersionString(const std::filesystem::path& file, bool full) {
    const auto v = ReadPeFileVersion(file);
    if (!v) return "65535.65535";
    std::string text = std::to_string(v->nMajor) + "." + std::to_string(v->nMinor);
    if (full) text += "." + std::to_string(v->nRelease) + "." + std::to_string(v->nBuild);
    return text;
}
