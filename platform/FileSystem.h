#pragma once
#include <cstdint>
#include <filesystem>
#include <system_error>

// Folder operations of the installation steps. None of them throws: each
// reports its outcome, because their callers log and carry on.

// Removes `folder` and everything in it; a symbolic link is removed, never
// followed. True when something was there and nothing of it is left; false when
// the path did not exist or part of the tree could not be removed.
bool DeleteFolderSilently(const std::filesystem::path& folder) noexcept;

// Sum of the sizes of the regular files directly in `folder` and, when
// `recursive`, in its sub-folders. Folders whose names begin with "." are not
// entered, but files whose names do are counted; symbolic links are neither
// followed nor counted. Folders that cannot be read add nothing and are logged.
uint64_t GetFolderSize(const std::filesystem::path& folder, bool recursive) noexcept;

// Renames a folder in one step (rename(2) on one volume): afterwards either
// `to` holds the whole tree and `from` is gone, or nothing changed. Fails when
// `to` already exists, even as an empty folder, or lies on another volume.
bool RenameFolder(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec) noexcept;
bool RenameFolder(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

// Renames a file or folder in one step, refusing to replace anything at `to`
// (even a file that appeared there a moment ago). False with `ec` set
// otherwise: std::errc::cross_device_link when `to` lies on another volume,
// std::errc::invalid_argument or std::errc::function_not_supported when the
// file system cannot rename without replacing.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec) noexcept;

// Writes everything still cached for the file system that holds `path` to the
// disk (syncfs(2)), so that files written without a flush of their own survive
// a power cut once they are renamed into place. False, with `ec` set, when the
// path cannot be opened or the disk reports a write error.
bool FlushFileSystem(const std::filesystem::path& path, std::error_code& ec) noexcept;

// Bytes the current user may still write on the file system that holds
// `path` (or, when the path does not exist yet, its nearest existing parent);
// UINT64_MAX when the system does not say.
uint64_t FreeDiskBytes(std::filesystem::path path) noexcept;
