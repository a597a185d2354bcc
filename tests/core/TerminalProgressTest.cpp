#include <gtest/gtest.h>

#include "app/TerminalProgress.h"

TEST(TerminalProgress, PercentBytesSpeedAndTimeLeft) {
    TTerminalProgress p;
    auto t0 = TTerminalProgress::Clock::now();
    // 12 MB of download in units (x1.2); 1.2 MB of units per second = 1 MB/s.
    p.Update(0, 14'400'000, t0);
    p.Update(1'200'000, 14'400'000, t0 + std::chrono::seconds(1));
    p.Update(2'400'000, 14'400'000, t0 + std::chrono::seconds(2));
    EXPECT_EQ(p.Percent(), 16);
    EXPECT_EQ(p.Line(), "16% 2.0 MB / 12.0 MB 1.0 MB/s 10s left");
}

TEST(TerminalProgress, DoneBeyondTotalIsShownAsComplete) {
    TTerminalProgress p;
    auto t0 = TTerminalProgress::Clock::now();
    p.Update(1300, 1200, t0);
    EXPECT_EQ(p.Percent(), 100);
    EXPECT_EQ(p.Line(), "100% 1.0 KB / 1.0 KB");
}

TEST(TerminalProgress, NoTotalMeansZeroPercent) {
    TTerminalProgress p;
    p.Update(0, 0, TTerminalProgress::Clock::now());
    EXPECT_EQ(p.Percent(), 0);
}

TEST(TerminalProgress, Formats) {
    EXPECT_EQ(TTerminalProgress::FormatBytes(999), "999 B");
    EXPECT_EQ(TTerminalProgress::FormatBytes(1500), "1.5 KB");
    EXPECT_EQ(TTerminalProgress::FormatBytes(5.2e9), "5.2 GB");
    EXPECT_EQ(TTerminalProgress::FormatDuration(59.4), "59s");
    EXPECT_EQ(TTerminalProgress::FormatDuration(125), "2m05s");
    EXPECT_EQ(TTerminalProgress::FormatDuration(3 * 3600 + 61), "3h01m");
}
