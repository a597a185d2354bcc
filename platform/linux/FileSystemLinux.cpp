#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/LogLine.h"

namespace fs = std::filesystem;

bool DeleteFolderSilently(const fs::path& folder) noexcept {
    try {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(folder, ec))) return false;
        fs::remove_all(folder, ec);
        if (ec) {
            AppendLog("DeleteFolderSilently: Path=" + folder.string() + " Error=" + ec.message());
            return false;
        }
        return !fs::exists(fs::symlink_status(folder, ec));
    } catch (const std::exception& e) {
        AppendLog("DeleteFolderSilently: Path=" + folder.string() + " Exception=" + e.what());
        return false;
    }
}

uint64_t GetFolderSize(const fs::path& folder, bool recursive) noexcept {
    uint64_t total = 0;
    try {
        // An explicit list of folders still to visit keeps a deep tree off the call stack.
        std::vector<fs::path> pending{folder};
        while (!pending.empty()) {
            const fs::path current = std::move(pending.back());
            pending.pop_back();
            std::error_code ec;
            fs::directory_iterator it(current, ec), end;
            if (ec) {
                AppendLog("GetFolderSize: Path=" + current.string() + " Error=" + ec.message());
                continue;
            }
            for (; it != end; it.increment(ec)) {
                // The entry's type comes with the folder listing; only the size
                // costs a call, which counts in a tree of thousands of files.
                std::error_code statError;
                if (it->is_symlink(statError) || statError) continue;
                const bool bFile = it->is_regular_file(statError);
                if (statError) continue;
                if (bFile) {
                    const auto size = it->file_size(statError);
                    if (!statError) total += size;
                } else if (recursive && it->is_directory(statError) && !statError &&
                           !it->path().filename().string().starts_with(".")) {
                    pending.push_back(it->path());
                }
            }
            if (ec) AppendLog("GetFolderSize: Path=" + current.string() + " Error=" + ec.message());
        }
    } catch (const std::exception& e) {
        AppendLog("GetFolderSize: Path=" + folder.string() + " Exception=" + e.what());
    }
    return total;
}

bool RenameFolder(const fs::path& from, const fs::path& to, std::error_code& ec) noexcept {
    ec.clear();
    // RENAME_NOREPLACE: plain rename(2) would silently replace an empty folder
    // at `to`, where the caller expects a failure whenever the target exists.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    // The file system does not know RENAME_NOREPLACE: check, then rename.
    std::error_code statError;
    if (fs::exists(fs::symlink_status(to, statError))) {
        ec = std::make_error_code(std::errc::file_exists);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    ec.assign(errno, std::generic_category());
    return false;
}

bool RenameFolder(const fs::path& from, const fs::path& to) noexcept {
    std::error_code ec;
    return RenameFolder(from, to, ec);
}

bool RenameNoReplace(const fs::path& from, const fs::path& to, std::error_code& ec) noexcept {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        ec.clear();
        return true;
    }
    ec.assign(errno, std::generic_category());
    return false;
}

bool FlushFileSystem(const fs::path& path, std::error_code& ec) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    const bool bFlushed = ::syncfs(fd) == 0;
    if (!bFlushed) ec.assign(errno, std::generic_category());
    ::close(fd);
    return bFlushed;
}

uint64_t FreeDiskBytes(std::filesystem::path path) noexcept {
    struct statvfs info {};
    while (::statvfs(path.c_str(), &info) != 0) {
        if (errno != ENOENT || !path.has_relative_path()) return UINT64_MAX;
        path = path.parent_path();
    }
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}
