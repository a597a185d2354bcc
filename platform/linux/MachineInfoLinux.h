#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/MachineInfo.h"

// The parsers behind the Linux system facts, apart from the files they read.

// The name of the release from /etc/os-release: PRETTY_NAME, else NAME, unquoted.
std::string OsReleaseName(std::string_view osRelease);
// The OS version from os-release's text and the kernel release ("6.1.0-18-amd64"):
// major, minor and build are the kernel's first three numbers.
TOsVersion OsVersionFrom(std::string_view osRelease, std::string_view kernelRelease);

// Vendor, brand, MMX and the nominal "cpu MHz" (rounded) of the first processor in /proc/cpuinfo.
TProcessorInfo ProcessorInfoFrom(std::string_view cpuinfo);

// Size and depth of a frame-buffer device folder (/sys/class/graphics/fb0); all
// zero when it is missing.
TScreenInfo ScreenInfoFromFramebuffer(const std::filesystem::path& fbDir);
