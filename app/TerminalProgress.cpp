#include "app/TerminalProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// Progress total = download bytes x (1 + 0.2): bytes are units divided by this.
constexpr double kUnitsPerByte = 1.2;
constexpr auto kSpeedWindow = std::chrono::seconds(3);
}  // namespace

void TTerminalProgress::Update(uint64_t done, uint64_t total, Clock::time_point now) {
    m_nTotal = total;
    m_nDone = std::min(done, total);
    m_Samples.emplace_back(now, m_nDone);
    while (m_Samples.size() > 2 && now - m_Samples.front().first > kSpeedWindow) m_Samples.pop_front();
}

int TTerminalProgress::Percent() const {
    if (m_nTotal == 0) return 0;
    return static_cast<int>(m_nDone * 100 / m_nTotal);
}

double TTerminalProgress::BytesPerSecond() const {
    if (m_Samples.size() < 2) return 0;
    auto& [t0, u0] = m_Samples.front();
    auto& [t1, u1] = m_Samples.back();
    double seconds = std::chrono::duration<double>(t1 - t0).count();
    if (seconds <= 0 || u1 < u0) return 0;
    return (u1 - u0) / kUnitsPerByte / seconds;
}

std::string TTerminalProgress::Line() const {
    double speed = BytesPerSecond();
    std::string line = std::to_string(Percent()) + "% " + FormatBytes(m_nDone / kUnitsPerByte) + " / " +
                       FormatBytes(m_nTotal / kUnitsPerByte);
    if (speed > 0) {
        line += " " + FormatBytes(speed) + "/s";
        line += " " + FormatDuration((m_nTotal - m_nDone) / kUnitsPerByte / speed) + " left";
    }
    return line;
}

std::string TTerminalProgress::FormatBytes(double bytes) {
    static const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    int unit = 0;
    while (bytes >= 1000 && unit < 4) bytes /= 1000, ++unit;
    char buf[32];
    std::snprintf(buf, sizeof buf, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return buf;
}

std::string TTerminalProgress::FormatDuration(double seconds) {
    long s = std::lround(std::max(0.0, seconds));
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ldh%02ldm", s / 3600, s / 60 % 60);
    else if (s >= 60)
        std::snprintf(buf, sizeof buf, "%ldm%02lds", s / 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lds", s);
    return buf;
}
