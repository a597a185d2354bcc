#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/LogLine.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

std::error_code LastError() { return std::error_code(static_cast<int>(GetLastError()), std::system_category()); }

// Reparse points are symbolic links and junctions: they are removed or
// skipped as what they are, never entered, because entering a junction would
// reach a tree that lies outside the folder.
bool IsLink(DWORD nAttributes) { return (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD nAttributes) { return (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

struct TFolderEntry {
    std::wstring strName;
    DWORD nAttributes = 0;
    uint64_t nSize = 0;
};

// The entries of a folder apart from "." and ".."; false, with the error
// left in GetLastError, when the folder cannot be listed.
bool ListFolder(const std::wstring& folder, std::vector<TFolderEntry>& entries) {
    entries.clear();
    WIN32_FIND_DATAW data{};
    HANDLE hFind = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back(
            {std::wstring(name), data.dwFileAttributes, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    } while (FindNextFileW(hFind, &data));
    const DWORD nError = GetLastError();
    FindClose(hFind);
    SetLastError(nError);
    return nError == ERROR_NO_MORE_FILES;
}

// Strips a trailing separator, which the listing pattern must not double.
std::wstring FolderText(const fs::path& folder) {
    std::wstring text = folder.wstring();
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
    return text;
}

// Unlike unlink(2), DeleteFileW refuses a read-only file; the attribute guards
// against accidents, not against the installer that owns the tree.
bool DeleteOneFile(const std::wstring& path, DWORD nAttributes) {
    if (DeleteFileW(path.c_str())) return true;
    if (!(nAttributes & FILE_ATTRIBUTE_READONLY) || GetLastError() != ERROR_ACCESS_DENIED) return false;
    SetFileAttributesW(path.c_str(), nAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    return DeleteFileW(path.c_str()) != 0;
}

bool RemoveEntry(const std::wstring& path, DWORD nAttributes) {
    if (IsFolder(nAttributes)) {
        if (nAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), nAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        return RemoveDirectoryW(path.c_str()) != 0;
    }
    return DeleteOneFile(path, nAttributes);
}

// Removes the tree below `root` (not `root` itself); false when some of it stays.
bool RemoveTreeBelow(const std::wstring& root) {
    bool bAllGone = true;
    // Folders are emptied first and removed on the way back up: the list holds
    // each folder and whether its entries were already taken care of.
    std::vector<std::pair<std::wstring, bool>> pending{{root, false}};
    std::vector<TFolderEntry> entries;
    while (!pending.empty()) {
        auto [folder, bEmptied] = pending.back();
        if (bEmptied) {
            pending.pop_back();
            if (folder != root && !RemoveDirectoryW(folder.c_str())) bAllGone = false;
            continue;
        }
        pending.back().second = true;
        if (!ListFolder(folder, entries)) {
            AppendLog("DeleteFolderSilently: Path=" + Narrow(folder) + " Error=" + WindowsErrorText(GetLastError()));
            bAllGone = false;
            continue;
        }
        for (const TFolderEntry& entry : entries) {
            const std::wstring path = folder + L"\\" + entry.strName;
            if (IsFolder(entry.nAttributes) && !IsLink(entry.nAttributes)) {
                if (entry.nAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(path.c_str(), entry.nAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
                pending.emplace_back(path, false);
            } else if (!RemoveEntry(path, entry.nAttributes)) {
                AppendLog("DeleteFolderSilently: Path=" + Narrow(path) + " Error=" + WindowsErrorText(GetLastError()));
                bAllGone = false;
            }
        }
    }
    return bAllGone;
}

// A folder that was just filled is often still open in a virus scanner or the
// search indexer for a moment, and Windows refuses to rename a folder while
// any file in it is open; a short wait usually outlasts them.
bool MoveWithPatience(const std::wstring& from, const std::wstring& to, DWORD nFlags) {
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), nFlags)) return true;
        const DWORD nError = GetLastError();
        if (attempt == kAttempts || (nError != ERROR_ACCESS_DENIED && nError != ERROR_SHARING_VIOLATION)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SetLastError(nError);
    }
}

bool FlushOneFile(const std::wstring& path, std::error_code& ec) {
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // A file we may not write to has nothing of ours waiting in the cache.
    if (hFile == INVALID_HANDLE_VALUE) return true;
    const bool bFlushed = FlushFileBuffers(hFile) != 0;
    if (!bFlushed) ec = LastError();
    CloseHandle(hFile);
    return bFlushed;
}

// The whole volume at once, as syncfs(2) does; Windows allows that only to
// administrators, so an ordinary user gets false here.
bool FlushVolume(const std::wstring& path) {
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) return false;
    std::wstring device(volume);
    if (device.size() != 3 || device[1] != L':') return false;  // only lettered volumes have a simple device name
    device = L"\\\\.\\" + device.substr(0, 2);
    HANDLE hVolume = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (hVolume == INVALID_HANDLE_VALUE) return false;
    const bool bFlushed = FlushFileBuffers(hVolume) != 0;
    CloseHandle(hVolume);
    return bFlushed;
}

// The regular files below `root`, links left out.
bool ListFilesBelow(const std::wstring& root, std::vector<std::wstring>& files, std::error_code& ec) {
    std::vector<std::wstring> pending{root};
    std::vector<TFolderEntry> entries;
    while (!pending.empty()) {
        const std::wstring folder = std::move(pending.back());
        pending.pop_back();
        if (!ListFolder(folder, entries)) {
            ec = LastError();
            return false;
        }
        for (const TFolderEntry& entry : entries) {
            if (IsLink(entry.nAttributes)) continue;
            (IsFolder(entry.nAttributes) ? pending : files).push_back(folder + L"\\" + entry.strName);
        }
    }
    return true;
}

// Each flush waits for the disk, and a new installation holds thousands of
// files: several at a time let the disk and the file system's journal take
// them together (under Wine, 2,000 files took 4.6 s one after the other and
// 0.5 to 0.8 s eight at a time).
bool FlushTree(const std::wstring& root, std::error_code& ec) {
    std::vector<std::wstring> files;
    if (!ListFilesBelow(root, files, ec)) return false;
    constexpr size_t kThreads = 8;
    std::atomic<size_t> nNext{0};
    std::mutex errorMutex;
    auto flushSome = [&] {
        for (size_t i = nNext++; i < files.size(); i = nNext++) {
            std::error_code fileError;
            if (FlushOneFile(files[i], fileError)) continue;
            std::lock_guard lock(errorMutex);
            if (!ec) ec = fileError;
        }
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < std::min(kThreads, files.size()); ++i) {
        try {
            threads.emplace_back(flushSome);
        } catch (const std::system_error&) {
            break;  // fewer helpers: the files are still all flushed, only later
        }
    }
    flushSome();
    for (std::thread& thread : threads) thread.join();
    return !ec;
}

}  // namespace

bool DeleteFolderSilently(const fs::path& folder) noexcept {
    try {
        const std::wstring root = FolderText(folder);
        const DWORD nAttributes = GetFileAttributesW(root.c_str());
        if (nAttributes == INVALID_FILE_ATTRIBUTES) return false;
        bool bAllGone = true;
        if (IsFolder(nAttributes) && !IsLink(nAttributes)) bAllGone = RemoveTreeBelow(root);
        if (bAllGone && !RemoveEntry(root, nAttributes)) {
            AppendLog("DeleteFolderSilently: Path=" + Narrow(root) + " Error=" + WindowsErrorText(GetLastError()));
            bAllGone = false;
        }
        return bAllGone && GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES;
    } catch (const std::exception& e) {
        AppendLog("DeleteFolderSilently: Path=" + folder.string() + " Exception=" + e.what());
        return false;
    }
}

uint64_t GetFolderSize(const fs::path& folder, bool recursive) noexcept {
    uint64_t total = 0;
    try {
        // The listing brings each entry's size along, so the sum needs no call per file.
        std::vector<std::wstring> pending{FolderText(folder)};
        std::vector<TFolderEntry> entries;
        while (!pending.empty()) {
            const std::wstring current = std::move(pending.back());
            pending.pop_back();
            if (!ListFolder(current, entries)) {
                const DWORD nError = GetLastError();
                if (nError != ERROR_FILE_NOT_FOUND && nError != ERROR_PATH_NOT_FOUND)
                    AppendLog("GetFolderSize: Path=" + Narrow(current) + " Error=" + WindowsErrorText(nError));
                continue;
            }
            for (const TFolderEntry& entry : entries) {
                if (IsLink(entry.nAttributes)) continue;
                if (!IsFolder(entry.nAttributes))
                    total += entry.nSize;
                else if (recursive && !entry.strName.starts_with(L"."))
                    pending.push_back(current + L"\\" + entry.strName);
            }
        }
    } catch (const std::exception& e) {
        AppendLog("GetFolderSize: Path=" + folder.string() + " Exception=" + e.what());
    }
    return total;
}

bool RenameFolder(const fs::path& from, const fs::path& to, std::error_code& ec) noexcept {
    ec.clear();
    // Without MOVEFILE_REPLACE_EXISTING an existing target, even an empty
    // folder, fails the call; without MOVEFILE_COPY_ALLOWED another volume does.
    if (MoveWithPatience(FolderText(from), FolderText(to), 0)) return true;
    ec = LastError();
    return false;
}

bool RenameFolder(const fs::path& from, const fs::path& to) noexcept {
    std::error_code ec;
    return RenameFolder(from, to, ec);
}

bool RenameNoReplace(const fs::path& from, const fs::path& to, std::error_code& ec) noexcept {
    if (MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), MOVEFILE_WRITE_THROUGH)) {
        ec.clear();
        return true;
    }
    ec = LastError();
    return false;
}

// Windows offers no flush of a file system to an ordinary user, so unless the
// volume can be flushed whole, every file below `path` is flushed on its own.
bool FlushFileSystem(const fs::path& path, std::error_code& ec) noexcept {
    ec.clear();
    try {
        const std::wstring root = FolderText(path);
        const DWORD nAttributes = GetFileAttributesW(root.c_str());
        if (nAttributes == INVALID_FILE_ATTRIBUTES) {
            ec = LastError();
            return false;
        }
        if (FlushVolume(root)) return true;
        if (!IsFolder(nAttributes)) return FlushOneFile(root, ec);
        return FlushTree(root, ec);
    } catch (const std::exception&) {
        ec = std::make_error_code(std::errc::not_enough_memory);
        return false;
    }
}

uint64_t FreeDiskBytes(fs::path path) noexcept {
    try {
        for (;;) {
            if (path.empty()) return UINT64_MAX;
            std::wstring folder = path.wstring();
            if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
            ULARGE_INTEGER nAvailable{};
            if (GetDiskFreeSpaceExW(folder.c_str(), &nAvailable, nullptr, nullptr)) return nAvailable.QuadPart;
            const DWORD nError = GetLastError();
            // A file, or a path not made yet: its folder is on the same volume.
            if (nError != ERROR_FILE_NOT_FOUND && nError != ERROR_PATH_NOT_FOUND && nError != ERROR_DIRECTORY &&
                nError != ERROR_INVALID_NAME)
                return UINT64_MAX;
            if (!path.has_relative_path()) return UINT64_MAX;
            path = path.parent_path();
        }
    } catch (const std::exception&) {
        return UINT64_MAX;
    }
}
