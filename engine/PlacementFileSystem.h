#pragma once
#include <filesystem>
#include <system_error>

// The file operations that change the installation folder while files are put
// in place. They sit behind this interface because their failures (a file held
// open, a folder that cannot be removed) must be reproducible in tests, and a
// test running as root cannot provoke them through permissions.
//
// None of them throws: each reports its outcome, and the callers log and go on.
class IPlacementFileSystem {
public:
    virtual ~IPlacementFileSystem() = default;

    // One-step rename of a folder; fails when `to` exists (see RenameFolder).
    virtual bool RenameFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                              std::error_code& ec) = 0;
    // Removes the tree; true when something was there and nothing is left.
    virtual bool DeleteFolder(const std::filesystem::path& folder) = 0;
    virtual bool DeleteFile(const std::filesystem::path& file, std::error_code& ec) = 0;
    // Moves one file to `to`, which must not exist.
    virtual bool MoveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& ec) = 0;
    // Creates the folder with its missing parents; true when it exists afterwards.
    virtual bool CreateFolders(const std::filesystem::path& folder, std::error_code& ec) = 0;
};

// The machine's own file system.
class TPlacementFileSystem : public IPlacementFileSystem {
public:
    bool RenameFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                      std::error_code& ec) override;
    bool DeleteFolder(const std::filesystem::path& folder) override;
    bool DeleteFile(const std::filesystem::path& file, std::error_code& ec) override;
    bool MoveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                  std::error_code& ec) override;
    bool CreateFolders(const std::filesystem::path& folder, std::error_code& ec) override;
};
