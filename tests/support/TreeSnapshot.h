#pragma once
#include <filesystem>
#include <map>
#include <string>

// Every entry below `root` with its size, modification time and inode: two
// equal snapshots mean nothing was written, replaced or added.
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root);
