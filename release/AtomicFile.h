#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// File operations of the publisher. A published tree is read by web servers
// while it is being written, so nothing appears under its final name before it
// is complete.

// Writes `data` to a hidden temporary name beside `target` (".<name>.tmp-<pid>-<n>"),
// flushes it to disk, makes it readable by everyone (the tree is public and
// often served by another user) and renames it over `target`. Creates the
// missing parent folders. On failure the temporary file is removed and
// std::runtime_error says what failed.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view data);

// Like WriteFileAtomically with the given mode, but never replaces anything:
// throws std::runtime_error when `target` exists already, even when it appears
// while this runs. For files that must not be lost, like a private key.
void CreateFileAtomically(const std::filesystem::path& target, std::string_view data, unsigned mode);

// True when `target` exists and holds exactly `data`; writing it again would change nothing.
bool FileHoldsExactly(const std::filesystem::path& target, std::string_view data);

// Whole content of a file; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Feeds a file's content to `consume` in blocks, so that large files never sit
// in memory whole; throws std::runtime_error when it cannot be read.
void ReadFileInBlocks(const std::filesystem::path& path, const std::function<void(std::string_view)>& consume);
