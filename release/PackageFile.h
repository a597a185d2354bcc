#pragma once
#include <filesystem>
#include <string>

// Name of the first entry of the zip package at `path`, taken from its first
// local header, which is the entry the installer unpacks. Throws
// std::runtime_error when the file is not a zip archive.
std::string ReadFirstEntryName(const std::filesystem::path& path);
