#pragma once
#include <filesystem>
#include <string>

// Lower-case hexadecimal SHA-256 of a file's content, read in blocks. Throws
// std::runtime_error when the file cannot be read.
std::string FileSha256Hex(const std::filesystem::path& path);
