#pragma once
#include <cstdint>
#include <string>

// The naming behind the Windows system facts, apart from the calls that feed it.

// The release's name ("Windows 10", "Windows Server 2019") from the version
// numbers and product type (VER_NT_WORKSTATION, ...) the system reports; empty
// for a release it does not know. `bArm` tells the RT editions apart.
std::string WindowsReleaseName(uint32_t nMajor, uint32_t nMinor, uint32_t nBuild, uint8_t nProductType, bool bArm);

// "Workstation", or the server edition named by the suite mask (VER_SUITE_*).
std::string WindowsProductTypeName(uint8_t nProductType, uint16_t nSuiteMask);
