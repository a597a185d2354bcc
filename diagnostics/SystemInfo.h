#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/MachineInfo.h"

// How the log's diagnostics block and the error report print the machine's facts.

// "<name> <product type> [64 Bits ], Versão: <major>.<minor>, Build: <build in upper-case hex>, "<service pack>"".
std::string FormatSystemDescription(const TOsVersion& os, bool b64Bit);
// "<vendor>, <brand>, <MHz> MHz <MMX><[FDIV Bug]>".
std::string FormatProcessorDescription(const TProcessorInfo& cpu);
// "<width>x<height> pixels, <bpp> bpp".
std::string FormatScreenDescription(const TScreenInfo& screen);

// Groups the digits of `value` in threes with `separator` ("1.234.567").
std::string FormatThousands(int64_t value, std::string_view separator);
// Whole megabytes (integer division) grouped with the user's separator and " MB";
// the unknown size -1 reads "0 MB".
std::string FormatMegabytes(int64_t bytes);
