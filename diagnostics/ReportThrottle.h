#pragma once
#include <chrono>
#include <cstdint>
#include <functional>

// The error count and ten-minute throttle of one error handler. The first error
// is always reported; a later one only when at least ten minutes passed since
// the previous error, reported or not, so a steady trickle of errors yields a
// single report. The clock is the wall clock (the interval is taken as an
// absolute difference, so a clock set back does not silence reports for good);
// tests pass their own.
//
// Thread rule: not locked; the handlers call it under the report lock.
class TReportThrottle {
public:
    using TClock = std::function<std::chrono::system_clock::time_point()>;

    static constexpr std::chrono::seconds kQuietInterval{600};

    struct TDecision {
        bool bReport = false;
        int32_t nErrorNumber = 0;  // this error's number, suppressed errors counted
    };

    explicit TReportThrottle(TClock clock = [] { return std::chrono::system_clock::now(); });

    // Counts one error, restarts the quiet interval and says whether to report it.
    TDecision RegisterError();
    // The count so far, without counting anything.
    int32_t ErrorCount() const { return m_nErrorCount; }
    // Back to the state at start: no error yet.
    void Reset();

private:
    TClock m_Clock;
    int32_t m_nErrorCount = 0;
    // The zero of the clock, so that the first interval is very large.
    std::chrono::system_clock::time_point m_tLastError{};
};
