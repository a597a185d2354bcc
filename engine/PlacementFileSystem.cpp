#include "engine/PlacementFileSystem.h"

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

bool TPlacementFileSystem::RenameFolder(const fs::path& from, const fs::path& to, std::error_code& ec) {
    return ::RenameFolder(from, to, ec);
}

bool TPlacementFileSystem::DeleteFolder(const fs::path& folder) { return DeleteFolderSilently(folder); }

bool TPlacementFileSystem::DeleteFile(const fs::path& file, std::error_code& ec) {
    ec.clear();
    return fs::remove(file, ec) && !ec;
}

bool TPlacementFileSystem::MoveFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
    ec.clear();
    // Never replacing: a file that appeared at `to` since the caller looked is
    // never overwritten behind its back.
    std::error_code renameError;
    if (RenameNoReplace(from, to, renameError)) return true;
    if (renameError == std::errc::cross_device_link) {
        // Another volume: copy, then remove the source only once the copy is whole.
        if (!fs::copy_file(from, to, fs::copy_options::none, ec)) return false;
        fs::remove(from, ec);
        return !ec;
    }
    if (renameError == std::errc::invalid_argument || renameError == std::errc::function_not_supported) {
        std::error_code statError;
        if (fs::exists(fs::symlink_status(to, statError))) {
            ec = std::make_error_code(std::errc::file_exists);
            return false;
        }
        fs::rename(from, to, ec);
        return !ec;
    }
    ec = renameError;
    return false;
}

bool TPlacementFileSystem::CreateFolders(const fs::path& folder, std::error_code& ec) {
    ec.clear();
    fs::create_directories(folder, ec);
    if (ec) return false;
    return fs::is_directory(folder, ec);
}
