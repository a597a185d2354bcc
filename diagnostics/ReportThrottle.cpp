#include "diagnostics/ReportThrottle.h"

#include <limits>

TReportThrottle::TReportThrottle(TClock clock) : m_Clock(std::move(clock)) {}

TReportThrottle::TDecision TReportThrottle::RegisterError() {
    const auto now = m_Clock();
    const auto elapsed = now >= m_tLastError ? now - m_tLastError : m_tLastError - now;
    const auto nSeconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
    // Saturates instead of wrapping, so that a run of two billion errors does
    // not turn into a report for every error.
    if (m_nErrorCount < std::numeric_limits<int32_t>::max()) ++m_nErrorCount;
    m_tLastError = now;
    return {nSeconds >= kQuietInterval || m_nErrorCount <= 1, m_nErrorCount};
}

void TReportThrottle::Reset() {
    m_nErrorCount = 0;
    m_tLastError = {};
}
