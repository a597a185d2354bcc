#include "platform/windows/MachineInfoWindows.h"

#include <windows.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/MachineInfo.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

std::string ServerName(uint32_t nMajor, uint32_t nMinor, uint32_t nBuild) {
    if (nMajor == 5 && nMinor == 2) return "Windows Server 2003";
    if (nMajor == 6 && nMinor == 0) return "Windows Server 2008";
    if (nMajor == 6 && nMinor == 1) return "Windows Server 2008 R2";
    if (nMajor == 6 && nMinor == 2) return "Windows Server 2012";
    if (nMajor == 6 && nMinor == 3) return "Windows Server 2012 R2";
    if (nMajor == 10 && nMinor == 0) {
        if (nBuild >= 20348) return "Windows Server";  // 2022 and later share the version numbers
        if (nBuild >= 17763) return "Windows Server 2019";
        return "Windows Server 2016";
    }
    return {};
}

std::string WorkstationName(uint32_t nMajor, uint32_t nMinor, uint32_t nBuild, bool bArm) {
    if (nMajor == 5 && nMinor == 1) return "Windows XP";
    if (nMajor == 5 && nMinor == 2) return "Windows XP x64";
    if (nMajor == 6 && nMinor == 0) return "Windows Vista";
    if (nMajor == 6 && nMinor == 1) return "Windows 7";
    if (nMajor == 6 && nMinor == 2) return bArm ? "Windows RT" : "Windows 8";
    if (nMajor == 6 && nMinor == 3) return bArm ? "Windows RT 8.1" : "Windows 8.1";
    if (nMajor == 10 && nMinor == 0) return nBuild >= 22000 ? "Windows 11" : "Windows 10";
    return {};
}

#if defined(__x86_64__) || defined(__i386__)
std::string VendorShortName(const std::string& vendorId) {
    if (vendorId == "GenuineIntel") return "Intel";
    if (vendorId == "AuthenticAMD") return "AMD";
    if (vendorId == "HygonGenuine") return "Hygon";
    if (vendorId == "CentaurHauls") return "VIA";
    return vendorId;
}

void ReadCpuid(TProcessorInfo& cpu) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return;
    char vendor[13] = {};
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    cpu.strVendor = VendorShortName(vendor);
    if (__get_cpuid(1, &a, &b, &c, &d)) cpu.bMMX = (d & bit_MMX) != 0;
    if (__get_cpuid_max(0x80000000, nullptr) < 0x80000004) return;
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        __get_cpuid(0x80000002 + leaf, &a, &b, &c, &d);
        const unsigned words[] = {a, b, c, d};
        std::memcpy(brand + leaf * 16, words, 16);
    }
    // The brand is padded with blanks to its 48 bytes, in front or behind.
    std::string text = brand;
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    cpu.strBrand = text;
}

#endif

// The nominal rate the firmware reported at start, for processors without a counter to measure.
int RegisteredClockMHz() {
    DWORD nMHz = 0;
    DWORD nSize = sizeof nMHz;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"~MHz",
                     RRF_RT_REG_DWORD, nullptr, &nMHz, &nSize) != ERROR_SUCCESS)
        return 0;
    return static_cast<int>(nMHz);
}

// RtlGetVersion tells the truth; GetVersionEx answers what the program's
// manifest claims to know.
OSVERSIONINFOEXW ReadVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion =
        hNtdll ? reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(hNtdll, "RtlGetVersion")))
               : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) info = OSVERSIONINFOEXW{};
    return info;
}

}  // namespace

std::string WindowsReleaseName(uint32_t nMajor, uint32_t nMinor, uint32_t nBuild, uint8_t nProductType, bool bArm) {
    if (nMajor == 3 || nMajor == 4) return "Windows NT " + std::to_string(nMajor) + "." + std::to_string(nMinor);
    if (nMajor == 5 && nMinor == 0) return "Windows 2000";
    if (nProductType == VER_NT_WORKSTATION) return WorkstationName(nMajor, nMinor, nBuild, bArm);
    if (nProductType == VER_NT_SERVER || nProductType == VER_NT_DOMAIN_CONTROLLER)
        return ServerName(nMajor, nMinor, nBuild);
    return {};
}

std::string WindowsProductTypeName(uint8_t nProductType, uint16_t nSuiteMask) {
    if (nProductType == VER_NT_WORKSTATION) return "Workstation";
    if (nProductType != VER_NT_SERVER && nProductType != VER_NT_DOMAIN_CONTROLLER) return {};
    if (nSuiteMask & VER_SUITE_DATACENTER) return "Datacenter Server";
    if (nSuiteMask & VER_SUITE_ENTERPRISE) return "Enterprise";
    if (nSuiteMask & VER_SUITE_BLADE) return "Web Edition";
    return "Server";
}

bool Is64BitWindows() noexcept {
#ifdef _WIN64
    return true;
#else
    using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<TIsWow64Process>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    BOOL bWow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &bWow64) && bWow64;
#endif
}

const TOsVersion& OsVersion() {
    static const TOsVersion os = [] {
        const OSVERSIONINFOEXW info = ReadVersion();
        SYSTEM_INFO system{};
        GetNativeSystemInfo(&system);
        const bool bArm = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM ||
                          system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
        TOsVersion version;
        version.strName =
            WindowsReleaseName(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.wProductType, bArm);
        version.strProductType = WindowsProductTypeName(info.wProductType, info.wSuiteMask);
        version.nMajor = info.dwMajorVersion;
        version.nMinor = info.dwMinorVersion;
        version.nBuild = info.dwBuildNumber;
        version.strServicePack = Narrow(info.szCSDVersion);
        return version;
    }();
    return os;
}

TProcessorInfo GetProcessorInfo() {
    TProcessorInfo cpu;
#if defined(__x86_64__) || defined(__i386__)
    ReadCpuid(cpu);
    cpu.nClockMHz = MeasureClockMHz();
#endif
    if (cpu.nClockMHz <= 0) cpu.nClockMHz = RegisteredClockMHz();
    cpu.nClockMHz = RoundClockRate(cpu.nClockMHz);
    return cpu;
}

TScreenInfo GetScreenInfo() {
    TScreenInfo screen;
    screen.nWidth = GetSystemMetrics(SM_CXSCREEN);
    screen.nHeight = GetSystemMetrics(SM_CYSCREEN);
    if (HDC hScreen = GetDC(nullptr)) {
        screen.nBitsPerPixel = GetDeviceCaps(hScreen, BITSPIXEL) * GetDeviceCaps(hScreen, PLANES);
        ReleaseDC(nullptr, hScreen);
    }
    return screen;
}

int64_t GetFreeDiskSpace(const fs::path& path) {
    if (path.empty() || path.is_relative()) return -1;
    const uint64_t nFree = FreeDiskBytes(path.lexically_normal());
    return nFree == UINT64_MAX ? -1 : static_cast<int64_t>(nFree);
}

std::string UserThousandSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) <= 1) return ",";
    return Narrow(separator);
}

std::string LocaleDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return {};
    return Narrow(separator);
}
