#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Lower-case hexadecimal MD5 of `data` (OpenSSL EVP). Packages are named by it.
std::string Md5Hex(std::string_view data);

// The same for a file's content, read in blocks so that large files never sit
// in memory whole. Throws std::runtime_error when the file cannot be read.
std::string FileMd5Hex(const std::filesystem::path& path);
