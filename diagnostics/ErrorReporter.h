#pragma once
#include <mutex>
#include <string>

#include "diagnostics/ExceptionObject.h"
#include "diagnostics/ReportThrottle.h"

// The three error handlers with their state: the report lock, and the main and
// the silent handler's own error count and ten-minute throttle. The process
// has one (ProcessErrorReporter, behind TExceptionObject's handlers); tests
// make their own with fake sources and a fake clock.
//
// The report lock serialises every report of the process, the synchronous post
// and the user's message box included: while the user has not closed the
// message, a worker's silent report waits. It is taken before the log lock,
// never after. It is recursive, so that an error raised on the window's thread
// while the message box runs its own event loop comes back into the handler
// (where the throttle drops it) instead of deadlocking.
//
// None of the handlers raises: a report that cannot be built is logged in one line.
class TErrorReporter {
public:
    explicit TErrorReporter(TReportSources sources = {},
                            TReportThrottle::TClock clock = [] { return std::chrono::system_clock::now(); });

    // Returns true when a report was made.
    bool ExceptionHandler(const TReportedError& error) noexcept;
    bool SilentException(const TReportedError& error) noexcept;
    void ExceptionThreadHandler(const std::string& strThread, const TReportedError& error) noexcept;

    // Both handlers back to "no error yet".
    void ResetThrottles();
    const TReportThrottle& MainThrottle() const { return m_MainThrottle; }
    const TReportThrottle& SilentThrottle() const { return m_SilentThrottle; }
    std::recursive_mutex& ReportLock() { return m_csReport; }

private:
    void Report(const TReportedError& error, const std::string* pThread, int32_t nErrorNumber, bool bSilent,
                bool bTellUser);
    void TellUser();
    static void LogSuppressed(const char* handler, int32_t nErrorNumber, const TReportedError& error) noexcept;
    static void LogFailure(const char* handler, const char* what) noexcept;

    TReportSources m_Sources;
    std::recursive_mutex m_csReport;
    TReportThrottle m_MainThrottle;
    TReportThrottle m_SilentThrottle;
};

TErrorReporter& ProcessErrorReporter();
