#include "platform/linux/MachineInfoLinux.h"

#include <langinfo.h>
#include <locale.h>
#include <sys/utsname.h>

#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Calls fn(key, value) for each "key<sep>value" line.
template <typename Fn>
void ForEachKeyValue(std::string_view text, char separator, Fn fn) {
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        const size_t sep = line.find(separator);
        if (sep == std::string_view::npos) continue;
        if (!fn(Trim(line.substr(0, sep)), Trim(line.substr(sep + 1)))) return;
    }
}

std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string VendorShortName(std::string_view vendorId) {
    if (vendorId == "GenuineIntel") return "Intel";
    if (vendorId == "AuthenticAMD") return "AMD";
    if (vendorId == "HygonGenuine") return "Hygon";
    if (vendorId == "CentaurHauls") return "VIA";
    return std::string(vendorId);
}

bool HasWord(std::string_view list, std::string_view word) {
    std::istringstream words{std::string(list)};
    for (std::string w; words >> w;)
        if (w == word) return true;
    return false;
}

bool Is64BitSystem() noexcept {
    struct utsname u {};
    if (uname(&u) != 0) return sizeof(void*) == 8;
    const std::string_view machine = u.machine;
    return machine.find("64") != std::string_view::npos || machine == "s390x";
}

std::string KernelRelease() {
    struct utsname u {};
    return uname(&u) == 0 ? u.release : "";
}

int ReadIntFile(const fs::path& path) {
    const std::string text = ReadText(path);
    int value = 0;
    std::string_view t = Trim(text);
    std::from_chars(t.data(), t.data() + t.size(), value);
    return value;
}

}  // namespace

std::string OsReleaseName(std::string_view osRelease) {
    std::string pretty, name;
    ForEachKeyValue(osRelease, '=', [&](std::string_view key, std::string_view value) {
        if (key == "PRETTY_NAME") pretty = Unquote(value);
        if (key == "NAME") name = Unquote(value);
        return true;
    });
    return pretty.empty() ? name : pretty;
}

TOsVersion OsVersionFrom(std::string_view osRelease, std::string_view kernelRelease) {
    TOsVersion os;
    os.strName = OsReleaseName(osRelease);
    os.strProductType = "Workstation";
    // "6.1.0-18-amd64": the numbers up to the first character that is neither digit nor point.
    uint32_t* numbers[] = {&os.nMajor, &os.nMinor, &os.nBuild};
    const char* p = kernelRelease.data();
    const char* end = p + kernelRelease.size();
    for (uint32_t* number : numbers) {
        auto [next, ec] = std::from_chars(p, end, *number);
        if (ec != std::errc() || next == end || *next != '.') break;
        p = next + 1;
    }
    return os;
}

TProcessorInfo ProcessorInfoFrom(std::string_view cpuinfo) {
    TProcessorInfo cpu;
    bool seenProcessor = false;
    ForEachKeyValue(cpuinfo, ':', [&](std::string_view key, std::string_view value) {
        if (key == "processor") {
            if (seenProcessor) return false;  // the first processor describes them all
            seenProcessor = true;
        } else if (key == "vendor_id") {
            cpu.strVendor = VendorShortName(value);
        } else if (key == "model name") {
            cpu.strBrand = std::string(value);
        } else if (key == "cpu MHz") {
            double mhz = 0;
            std::from_chars(value.data(), value.data() + value.size(), mhz);
            cpu.nClockMHz = RoundClockRate(static_cast<int>(mhz + 0.5));
        } else if (key == "flags") {
            cpu.bMMX = HasWord(value, "mmx");
        }
        return true;
    });
    return cpu;
}

TScreenInfo ScreenInfoFromFramebuffer(const fs::path& fbDir) {
    TScreenInfo screen;
    const std::string size = ReadText(fbDir / "virtual_size");
    const size_t comma = size.find(',');
    if (comma == std::string::npos) return screen;
    std::from_chars(size.data(), size.data() + comma, screen.nWidth);
    std::string_view height = Trim(std::string_view(size).substr(comma + 1));
    std::from_chars(height.data(), height.data() + height.size(), screen.nHeight);
    screen.nBitsPerPixel = ReadIntFile(fbDir / "bits_per_pixel");
    return screen;
}

bool Is64BitWindows() noexcept { return Is64BitSystem(); }

const TOsVersion& OsVersion() {
    static const TOsVersion os = [] {
        return OsVersionFrom(ReadText("/etc/os-release"), KernelRelease());
    }();
    return os;
}

TProcessorInfo GetProcessorInfo() {
    TProcessorInfo cpu = ProcessorInfoFrom(ReadText("/proc/cpuinfo"));
    if (const int measured = MeasureClockMHz(); measured > 0) cpu.nClockMHz = RoundClockRate(measured);
    return cpu;
}

TScreenInfo GetScreenInfo() { return ScreenInfoFromFramebuffer("/sys/class/graphics/fb0"); }

int64_t GetFreeDiskSpace(const fs::path& path) {
    if (path.empty() || path.is_relative()) return -1;
    std::error_code ec;
    fs::path probe = path.lexically_normal();
    while (!fs::exists(probe, ec) && probe.has_relative_path()) probe = probe.parent_path();
    const uint64_t nFree = FreeDiskBytes(probe);
    return nFree == UINT64_MAX ? -1 : static_cast<int64_t>(nFree);
}

namespace {

std::string NumericLocaleItem(nl_item item) {
    std::string text;
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, "", locale_t(0))) {
        text = nl_langinfo_l(item, loc);
        freelocale(loc);
    }
    return text;
}

}  // namespace

std::string UserThousandSeparator() {
    const std::string separator = NumericLocaleItem(THOUSEP);
    return separator.empty() ? "," : separator;
}

std::string LocaleDecimalSeparator() { return NumericLocaleItem(RADIXCHAR); }
