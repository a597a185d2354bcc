#include <windows.h>

#include <vector>

#include "platform/FileVersion.h"

// The system's own version calls read the resource, so a file reads here as
// it does in Explorer's properties.
std::optional<TFileVersion> ReadPeFileVersion(const std::filesystem::path& file) {
    const std::wstring path = file.wstring();
    DWORD nIgnored = 0;
    const DWORD nSize = GetFileVersionInfoSizeW(path.c_str(), &nIgnored);
    if (nSize == 0) return std::nullopt;
    std::vector<BYTE> data(nSize);
    if (!GetFileVersionInfoW(path.c_str(), 0, nSize, data.data())) return std::nullopt;
    void* pFixed = nullptr;
    UINT nFixedSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", &pFixed, &nFixedSize) || pFixed == nullptr ||
        nFixedSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
    if (info->dwSignature != VS_FFI_SIGNATURE) return std::nullopt;
    return TFileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                        LOWORD(info->dwFileVersionLS)};
}
