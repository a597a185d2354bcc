#pragma once
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/RuntimeInfo.h"
#include "diagnostics/SystemInfo.h"

class IReportWindowSide;

// What a report says about the failure itself.
struct TReportedError {
    std::string strClassName;  // the exception's type, demangled ("std::runtime_error")
    std::string strMessage;
    // Where the report was asked for from inside the handling of an exception;
    // 0 outside any handling. Printed as "Endereço da Exceção".
    uintptr_t nAddress = 0;
};

// Class name and message of a caught exception.
TReportedError DescribeException(const std::exception& e, uintptr_t nAddress = 0);

// Everything a report asks the machine, the window and the network; the
// defaults are the real sources, tests replace what they need.
struct TReportSources {
    // The window's side (null: headless, or not on any window). Default: the
    // one registered with SetReportWindowSide.
    std::function<IReportWindowSide*()> fnWindow;
    std::function<TMemoryStatus()> fnMemory = [] { return ReadMemoryStatus(); };
    std::function<uint64_t()> fnWorkingSet = ReadWorkingSetBytes;
    std::function<THeapStatistics()> fnHeap = ReadHeapStatistics;
    std::function<std::vector<std::string>()> fnStack = [] { return CaptureStackList(2); };
    // Local time at which the stack list was taken.
    std::function<std::chrono::system_clock::time_point()> fnNow = [] { return std::chrono::system_clock::now(); };
    std::function<std::string()> fnMachineId;
    std::function<std::string()> fnVersion;
    std::function<bool()> fnUnderWine;
    // Lines 11 and 12 after their labels; the screen of line 13.
    std::function<std::string()> fnSystem;
    std::function<std::string()> fnProcessor;
    std::function<TScreenInfo()> fnScreen = GetScreenInfo;
    // Bytes free for the user where the product is installed; may throw.
    std::function<int64_t()> fnFreeDiskBytes;
    std::function<std::string()> fnUrl;
    // Delivers a body; throws on failure.
    std::function<void(const std::string& url, const std::string& body)> fnPost;
    std::function<uint8_t()> fnLanguage;

    TReportSources();
};

// One error report: the failure, the program's version, the machine, its
// memory, the call stack and the window state, as fixed (mostly Portuguese)
// text. It is logged and posted to the error service by SendError.
//
// Only the handlers below make reports, always under the report lock: create,
// CreateErrorDescription, SendError, destroy.
//
// The stack list of every report is the stack where the report was asked for
// (inside the catch block of the caller), for silent reports and others alike.
class TExceptionObject {
public:
    // Writes lines 1–5 and the runtime section. pThread: the description of the
    // thread that handed the error over, or null. A report not asked to be
    // silent becomes silent when its stack mentions
    // "Detour_UxTheme_OpenThemeDataForDPI".
    TExceptionObject(const TReportedError& error, const std::string* pThread, int32_t nExceptCount, bool bSilentMode,
                     const TReportSources& sources);

    // Lines 6–19: version, machine, error number, system, runtime section.
    void CreateErrorDescription();
    // Logs the report ("Exception:  HardID=...") and posts it. A failed
    // delivery is logged in one line and dropped: never raises.
    void SendError() noexcept;

    // "strActivationCode=...&strHardID=...&strVersion=...&str_error=...&bSilentMode=0|1",
    // the values as they are, without percent-encoding: the service reads them so.
    std::string PostBody() const;
    // Each report line followed by CR LF.
    std::string ReportText() const;
    const std::vector<std::string>& Lines() const { return m_lstError; }
    const std::vector<std::string>& RuntimeLines() const { return m_lstStackList; }
    int32_t ErrorNumber() const { return m_nErrorNumber; }
    bool SilentMode() const { return m_bSilentMode; }
    bool IsMainThread() const { return m_bIsMainThread; }

    // The machine identifier, eight upper-case hex digits.
    static std::string GetMachineID();

    // The process-wide handlers. None of them ever raises to its caller.
    //
    // For an exception that escaped an event handler of the window's thread
    // (see ReportWindowSide.h): reported unless throttled, then the user is told.
    static void ExceptionHandler(const std::exception& e) noexcept;
    // For the installer thread and the workers, from their own catch blocks:
    // reported unless throttled, nobody is told. Throttled separately from
    // ExceptionHandler.
    static void SilentException(const std::exception& e) noexcept;
    // For callers that report a failure of their own making.
    static void SilentException(const std::string& message) noexcept;
    // For an error another thread hands over to the window's thread: always
    // reported, with the thread's description, then the user is told.
    static void ExceptionThreadHandler(const std::string& strThread, const std::exception& e) noexcept;

    static constexpr const char* kSeparatorLine =
        "----------------------------------------------------------------------------------------------------";

private:
    void AddRuntimeInfo();
    void AddStackList();
    void AddWindowState(IReportWindowSide& window);
    std::string RuntimeText() const;

    const TReportSources& m_Sources;
    IReportWindowSide* m_pWindow = nullptr;  // the window's side when the report was made
    std::vector<std::string> m_lstError;
    std::vector<std::string> m_lstStackList;
    // The focused control and its parents, (class, name), captured at creation
    // on the window's thread; empty elsewhere.
    std::vector<std::pair<std::string, std::string>> m_LastActiveControl;
    bool m_bIsMainThread = false;
    std::string m_strMachineID;
    std::string m_strVersion;
    int32_t m_nErrorNumber = 0;
    bool m_bSilentMode = false;
};
