#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

// Turns the engine's progress figures into what a download tool shows:
// percentage, bytes, speed and time left. Progress units are bytes plus a
// fixed share per unpacked file (the total is 1.2 times the download size),
// so bytes are derived from the units by that weight.
class TTerminalProgress {
public:
    using Clock = std::chrono::steady_clock;

    // Records a sample; `done` may pass `total` shortly before the end.
    void Update(uint64_t done, uint64_t total, Clock::time_point now);
    // "42% 12.3 MB / 29.1 MB 5.2 MB/s 3s left"
    std::string Line() const;
    int Percent() const;

    static std::string FormatBytes(double bytes);
    static std::string FormatDuration(double seconds);

private:
    double BytesPerSecond() const;

    uint64_t m_nDone = 0;
    uint64_t m_nTotal = 0;
    std::deque<std::pair<Clock::time_point, uint64_t>> m_Samples;  // the last few seconds
};
