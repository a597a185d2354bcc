#include "diagnostics/SystemInfo.h"

#include <cstdio>

std::string FormatSystemDescription(const TOsVersion& os, bool b64Bit) {
    char buf[512];
    const std::string productType = os.strProductType + " [" + (b64Bit ? "64" : "32") + " Bits ]";
    std::snprintf(buf, sizeof buf, "%s %s, Vers\xC3\xA3o: %u.%u, Build: %X, \"%s\"", os.strName.c_str(),
                  productType.c_str(), os.nMajor, os.nMinor, os.nBuild, os.strServicePack.c_str());
    return buf;
}

std::string FormatProcessorDescription(const TProcessorInfo& cpu) {
    return cpu.strVendor + ", " + cpu.strBrand + ", " + std::to_string(cpu.nClockMHz) + " MHz " +
           (cpu.bMMX ? "MMX" : "") + (cpu.bFdivBug ? " [FDIV Bug]" : "");
}

std::string FormatScreenDescription(const TScreenInfo& screen) {
    return std::to_string(screen.nWidth) + "x" + std::to_string(screen.nHeight) + " pixels, " +
           std::to_string(screen.nBitsPerPixel) + " bpp";
}

std::string FormatThousands(int64_t value, std::string_view separator) {
    const bool negative = value < 0;
    // Through the unsigned magnitude, so the most negative value does not overflow.
    uint64_t magnitude = negative ? ~uint64_t(value) + 1 : uint64_t(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string FormatMegabytes(int64_t bytes) { return FormatThousands(bytes / 1048576, UserThousandSeparator()) + " MB"; }
