#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

// What the system says about the machine, for the log's diagnostics block and
// the error report (diagnostics/SystemInfo prints it). Each is read when asked
// for, except the operating-system version, which is read once per process.
// None of these operations raises.

// True when the system is 64-bit (the installer then asks for the 64-bit release).
bool Is64BitWindows() noexcept;

struct TOsVersion {
    std::string strName;         // the release's name ("Debian GNU/Linux 12 (bookworm)")
    std::string strProductType;  // "Workstation"
    uint32_t nMajor = 0;
    uint32_t nMinor = 0;
    uint32_t nBuild = 0;
    std::string strServicePack;  // empty on current systems
};

const TOsVersion& OsVersion();

struct TProcessorInfo {
    std::string strVendor;  // short manufacturer name: Intel, AMD
    std::string strBrand;
    int nClockMHz = 0;  // already rounded with RoundClockRate
    bool bMMX = false;
    bool bFdivBug = false;
};

// Measures the clock afresh on every call, which takes about 10 ms.
TProcessorInfo GetProcessorInfo();

// Snaps a measured clock rate to the nearest of the marketed steps 0, 20, 33,
// 50, 60, 66, 80, 90 and 100 of its last two digits (ties move up), so that
// 2798 reads 2800 and 3192 reads 3190.
int RoundClockRate(int mhz);
// The processor's clock measured by its time-stamp counter over 10 ms, in MHz,
// not yet rounded; 0 where there is no such counter.
int MeasureClockMHz();

struct TScreenInfo {
    int nWidth = 0;
    int nHeight = 0;
    int nBitsPerPixel = 0;  // 0 when there is no display to ask
};

TScreenInfo GetScreenInfo();

// Bytes available to the current user on the file system that holds `path` (or
// would hold it: the nearest existing folder above it counts); -1 when that
// cannot be queried, including for an empty or relative path.
int64_t GetFreeDiskSpace(const std::filesystem::path& path);

// The thousands separator of the user's numeric locale, or "," when the locale
// defines none, as a figure of megabytes is always printed grouped.
std::string UserThousandSeparator();
// The decimal separator of the user's numeric locale; empty when it defines none.
std::string LocaleDecimalSeparator();
