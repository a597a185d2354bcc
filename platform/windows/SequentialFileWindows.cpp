#include <windows.h>

#include <algorithm>

#include "platform/SequentialFile.h"

namespace {

HANDLE AsHandle(std::intptr_t nHandle) { return reinterpret_cast<HANDLE>(nHandle); }

std::error_code LastError() { return std::error_code(static_cast<int>(GetLastError()), std::system_category()); }

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

}  // namespace

TSequentialFile::~TSequentialFile() {
    if (m_hFile != -1) CloseHandle(AsHandle(m_hFile));
}

bool TSequentialFile::Open(const std::filesystem::path& path, std::error_code& ec) noexcept {
    if (m_hFile != -1) CloseHandle(AsHandle(m_hFile));
    // Reading must not stand in anyone's way, as an open file on Linux does not:
    // others may still write, rename or delete the file meanwhile.
    HANDLE hFile =
        CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    m_hFile = reinterpret_cast<std::intptr_t>(hFile);
    if (hFile == INVALID_HANDLE_VALUE) {
        ec = LastError();
        return false;
    }
    ec.clear();
    return true;
}

int64_t TSequentialFile::Read(std::span<char> buffer, std::error_code& ec) noexcept {
    if (m_hFile == -1) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return -1;
    }
    DWORD nRead = 0;
    const auto nWanted = static_cast<DWORD>(std::min<size_t>(buffer.size(), 1u << 30));
    if (!ReadFile(AsHandle(m_hFile), buffer.data(), nWanted, &nRead, nullptr)) {
        ec = LastError();
        return -1;
    }
    return nRead;
}

bool ReadFileFacts(const std::filesystem::path& path, TFileFacts& facts, std::error_code& ec) noexcept {
    // Opened rather than asked by name, so that a symbolic link answers for its target.
    HANDLE hFile = CreateFileW(path.wstring().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        ec = LastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool bKnown = GetFileInformationByHandle(hFile, &info) != 0;
    if (!bKnown) ec = LastError();
    CloseHandle(hFile);
    if (!bKnown) return false;
    ec.clear();
    facts.nSize = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const int64_t nFileTime = static_cast<int64_t>((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                                   info.ftLastWriteTime.dwLowDateTime);
    const int64_t nSince1970 = nFileTime - kUnixEpochInFileTime;
    // Whole seconds towards the past, as st_mtim.tv_sec counts them.
    facts.nModifiedSeconds = nSince1970 >= 0 ? nSince1970 / 10000000 : -((-nSince1970 + 9999999) / 10000000);
    return true;
}
