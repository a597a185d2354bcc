#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

// What the system says about itself, raw; the diagnostics word and print it.

// True on a 64-bit system, whatever the width of this process.
bool Is64BitSystem() noexcept;

// The kernel's release ("6.1.0-18-amd64"); empty when it cannot be asked.
std::string KernelRelease();

// Bytes available to the current user on the file system that holds the
// existing `path`; -1 when that cannot be queried.
int64_t AvailableDiskBytes(const std::filesystem::path& path);
