#include <gtest/gtest.h>

#include <limits>
#include <regex>

#include "diagnostics/SystemInfo.h"
#include "platform/linux/MachineInfoLinux.h"
#include "support/TempDir.h"

TEST(SystemInfo, ClockRateSnapsToNearestStep) {
    struct {
        int nMeasured, nShown;
    } cases[] = {
        {2798, 2800}, {3192, 3190}, {1666, 1666}, {2000, 2000}, {2025, 2020},
        {1010, 1020},  // tie between 0 and 20 moves up
        {2063, 2066},  // tie between 60 and 66 moves up
        {2041, 2033}, {2042, 2050}, {2095, 2100}, {99, 100},    {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundClockRate(c.nMeasured), c.nShown) << c.nMeasured;
}

TEST(SystemInfo, SystemDescriptionFormat) {
    TOsVersion os{"Debian GNU/Linux 12 (bookworm)", "Workstation", 6, 1, 19045, ""};
    EXPECT_EQ(FormatSystemDescription(os, true),
              "Debian GNU/Linux 12 (bookworm) Workstation [64 Bits ], Versão: 6.1, Build: 4A65, \"\"");
    os.strServicePack = "Service Pack 1";
    EXPECT_EQ(FormatSystemDescription(os, false),
              "Debian GNU/Linux 12 (bookworm) Workstation [32 Bits ], Versão: 6.1, Build: 4A65, \"Service Pack 1\"");
}

TEST(SystemInfo, ProcessorDescriptionFormat) {
    EXPECT_EQ(FormatProcessorDescription({"Intel", "Intel(R) Core(TM) i5-8400 CPU", 2800, true, false}),
              "Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX");
    EXPECT_EQ(FormatProcessorDescription({"AMD", "AMD EPYC", 2250, false, false}), "AMD, AMD EPYC, 2250 MHz ");
    EXPECT_EQ(FormatProcessorDescription({"Intel", "Pentium", 60, true, true}),
              "Intel, Pentium, 60 MHz MMX [FDIV Bug]");
}

TEST(SystemInfo, ScreenDescriptionFormat) {
    EXPECT_EQ(FormatScreenDescription({1920, 1080, 32}), "1920x1080 pixels, 32 bpp");
    EXPECT_EQ(FormatScreenDescription({}), "0x0 pixels, 0 bpp");
}

TEST(SystemInfo, OsVersionFromReleaseFiles) {
    struct {
        const char *osRelease, *kernel, *name;
        uint32_t nMajor, nMinor, nBuild;
    } cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "6.1.0-18-amd64",
         "Debian GNU/Linux 12 (bookworm)", 6, 1, 0},
        {"NAME='Alpine Linux'\n", "6.18.44-fc-v1478", "Alpine Linux", 6, 18, 44},
        {"# comment\nPRETTY_NAME=Plain\n", "5.15", "Plain", 5, 15, 0},
        {"", "", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        TOsVersion os = OsVersionFrom(c.osRelease, c.kernel);
        EXPECT_EQ(os.strName, c.name);
        EXPECT_EQ(os.strProductType, "Workstation");
        EXPECT_EQ(os.nMajor, c.nMajor) << c.kernel;
        EXPECT_EQ(os.nMinor, c.nMinor) << c.kernel;
        EXPECT_EQ(os.nBuild, c.nBuild) << c.kernel;
        EXPECT_EQ(os.strServicePack, "");
    }
}

TEST(SystemInfo, ProcessorFromCpuinfoFirstProcessor) {
    const char* cpuinfo =
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz\n"
        "cpu MHz\t\t: 2798.523\nflags\t\t: fpu vme mmx sse\n\n"
        "processor\t: 1\nvendor_id\t: GenuineIntel\nmodel name\t: Other\ncpu MHz\t\t: 800.000\nflags\t\t: fpu\n";
    TProcessorInfo cpu = ProcessorInfoFrom(cpuinfo);
    EXPECT_EQ(cpu.strVendor, "Intel");
    EXPECT_EQ(cpu.strBrand, "Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz");
    EXPECT_EQ(cpu.nClockMHz, 2800);
    EXPECT_TRUE(cpu.bMMX);
    EXPECT_FALSE(cpu.bFdivBug);

    TProcessorInfo amd = ProcessorInfoFrom("vendor_id : AuthenticAMD\nmodel name : AMD EPYC\nflags : fpu mmxext\n");
    EXPECT_EQ(amd.strVendor, "AMD");
    EXPECT_FALSE(amd.bMMX) << "mmxext alone is not the mmx flag";
    EXPECT_EQ(amd.nClockMHz, 0);

    TProcessorInfo none = ProcessorInfoFrom("");
    EXPECT_EQ(FormatProcessorDescription(none), ", , 0 MHz ");
}

TEST(SystemInfo, ScreenFromFramebuffer) {
    TempDir dir;
    EXPECT_EQ(FormatScreenDescription(ScreenInfoFromFramebuffer(dir / "fb0")), "0x0 pixels, 0 bpp");
    std::filesystem::create_directories(dir / "fb0");
    WriteFileText(dir / "fb0" / "virtual_size", "1920,1080\n");
    WriteFileText(dir / "fb0" / "bits_per_pixel", "32\n");
    EXPECT_EQ(FormatScreenDescription(ScreenInfoFromFramebuffer(dir / "fb0")), "1920x1080 pixels, 32 bpp");
}

TEST(SystemInfo, ThousandsGrouping) {
    struct {
        int64_t nValue;
        const char* text;
    } cases[] = {
        {0, "0"},          {999, "999"},
        {1000, "1.000"},   {1234567, "1.234.567"},
        {-1234, "-1.234"}, {std::numeric_limits<int64_t>::min(), "-9.223.372.036.854.775.808"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.nValue, "."), c.text);
    EXPECT_EQ(FormatThousands(1234567, "\u202F"), "1\u202F234\u202F567");
}

TEST(SystemInfo, MegabytesUseIntegerDivisionAndUnknownReadsZero) {
    const std::string sep = UserThousandSeparator();
    EXPECT_FALSE(sep.empty());
    EXPECT_EQ(FormatMegabytes(-1), "0 MB");
    EXPECT_EQ(FormatMegabytes(5 * 1048576LL - 1), "4 MB");
    EXPECT_EQ(FormatMegabytes(123456 * 1048576LL), "123" + sep + "456 MB");
}

TEST(SystemInfo, FreeDiskSpaceOfTheFileSystemHoldingAPath) {
    TempDir dir;
    EXPECT_GT(GetFreeDiskSpace(dir.path()), 0);
    EXPECT_GT(GetFreeDiskSpace(dir / "not/yet/made"), 0) << "the nearest existing folder answers";
    EXPECT_EQ(GetFreeDiskSpace(""), -1);
    EXPECT_EQ(GetFreeDiskSpace("relative/folder"), -1);
}

TEST(SystemInfo, ThisMachine) {
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(Is64BitWindows());
    }
    const TOsVersion& os = OsVersion();
    EXPECT_EQ(&os, &OsVersion()) << "read once and kept";
    EXPECT_EQ(os.strProductType, "Workstation");
    if (std::filesystem::exists("/etc/os-release")) {
        EXPECT_FALSE(os.strName.empty());
    }
    EXPECT_GT(os.nMajor, 0u);

    TProcessorInfo cpu = GetProcessorInfo();
    EXPECT_EQ(RoundClockRate(cpu.nClockMHz), cpu.nClockMHz);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_GT(cpu.nClockMHz, 0);
#endif
    EXPECT_FALSE(cpu.bFdivBug);
}
