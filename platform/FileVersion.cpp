#include "platform/FileVersion.h"

// What is the same on every system; ReadPeFileVersion is each system's own.

std::string GetFileVersionString(const std::filesystem::path& file, bool full) {
    const auto v = ReadPeFileVersion(file);
    if (!v) return "65535.65535";
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about "." + a temporary string.
    std::string text = std::to_string(v->nMajor);
    text += '.';
    text += std::to_string(v->nMinor);
    if (full) {
        text += '.';
        text += std::to_string(v->nRelease);
        text += '.';
        text += std::to_string(v->nBuild);
    }
    return text;
}
