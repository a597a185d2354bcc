#include "diagnostics/ErrorReporter.h"

#include <atomic>
#include <iostream>

#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "diagnostics/ReportWindowSide.h"

namespace {

std::atomic<IReportWindowSide*> g_pWindowSide{nullptr};

}  // namespace

TErrorReporter::TErrorReporter(TReportSources sources, TReportThrottle::TClock clock)
    : m_Sources(std::move(sources)), m_MainThrottle(clock), m_SilentThrottle(clock) {}

bool TErrorReporter::ExceptionHandler(const TReportedError& error) noexcept {
    try {
        std::lock_guard lock(m_csReport);
        const TReportThrottle::TDecision decision = m_MainThrottle.RegisterError();
        if (!decision.bReport) {
            LogSuppressed("ExceptionHandler", decision.nErrorNumber, error);
            return false;
        }
        Report(error, nullptr, decision.nErrorNumber, false, true);
        return true;
    } catch (const std::exception& e) {
        LogFailure("ExceptionHandler", e.what());
    } catch (...) {
        LogFailure("ExceptionHandler", "unknown error");
    }
    return false;
}

bool TErrorReporter::SilentException(const TReportedError& error) noexcept {
    try {
        std::lock_guard lock(m_csReport);
        const TReportThrottle::TDecision decision = m_SilentThrottle.RegisterError();
        if (!decision.bReport) {
            LogSuppressed("SilentException", decision.nErrorNumber, error);
            return false;
        }
        Report(error, nullptr, decision.nErrorNumber, true, false);
        return true;
    } catch (const std::exception& e) {
        LogFailure("SilentException", e.what());
    } catch (...) {
        LogFailure("SilentException", "unknown error");
    }
    return false;
}

void TErrorReporter::ExceptionThreadHandler(const std::string& strThread, const TReportedError& error) noexcept {
    try {
        std::lock_guard lock(m_csReport);
        // Not throttled and not counted: the main handler's count is only quoted.
        Report(error, &strThread, m_MainThrottle.ErrorCount(), false, true);
    } catch (const std::exception& e) {
        LogFailure("ExceptionThreadHandler", e.what());
    } catch (...) {
        LogFailure("ExceptionThreadHandler", "unknown error");
    }
}

void TErrorReporter::ResetThrottles() {
    std::lock_guard lock(m_csReport);
    m_MainThrottle.Reset();
    m_SilentThrottle.Reset();
}

void TErrorReporter::Report(const TReportedError& error, const std::string* pThread, int32_t nErrorNumber,
                            bool bSilent, bool bTellUser) {
    {
        TExceptionObject report(error, pThread, nErrorNumber, bSilent, m_Sources);
        report.CreateErrorDescription();
        report.SendError();
    }
    if (bTellUser) TellUser();
}

void TErrorReporter::TellUser() {
    const std::string text = ErrorReportUserMessage(m_Sources.fnLanguage());
    IReportWindowSide* pWindow = m_Sources.fnWindow ? m_Sources.fnWindow() : nullptr;
    if (pWindow != nullptr && pWindow->IsMainThread())
        pWindow->ShowMessage(text);
    else
        std::cerr << text << std::endl;
}

void TErrorReporter::LogSuppressed(const char* handler, int32_t nErrorNumber, const TReportedError& error) noexcept {
    // Throttled errors are not reported, but they are not lost from the log either.
    try {
        AppendLog(std::string("TExceptionObject.") + handler + ": Suppressed ErrorNumber=" +
                  std::to_string(nErrorNumber) + " Class=" + error.strClassName + " Error=" + error.strMessage);
    } catch (...) {
        AppendLog("TExceptionObject: a suppressed error could not be logged");
    }
}

void TErrorReporter::LogFailure(const char* handler, const char* what) noexcept {
    try {
        AppendLog(std::string("TExceptionObject.") + handler + ": the report could not be made | Error=" + what);
    } catch (...) {
        AppendLog("TExceptionObject: a report could not be made");
    }
}

TErrorReporter& ProcessErrorReporter() {
    // Never destroyed: workers may still report while the process ends.
    static TErrorReporter* reporter = new TErrorReporter();
    return *reporter;
}

void SetReportWindowSide(IReportWindowSide* pWindow) {
    // Under the report lock, so that no report is using the old side meanwhile.
    std::lock_guard lock(ProcessErrorReporter().ReportLock());
    g_pWindowSide.store(pWindow);
}

IReportWindowSide* ReportWindowSide() { return g_pWindowSide.load(); }
