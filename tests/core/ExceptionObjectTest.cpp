#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics/ErrorReporter.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/ReportThrottle.h"
#include "diagnostics/ReportWindowSide.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"

namespace {

using namespace std::chrono_literals;
using TTime = std::chrono::system_clock::time_point;

const std::string kSep(100, '-');

// The window's side as the Qt window gives it, scripted.
class FakeWindowSide : public IReportWindowSide {
public:
    bool bMainThread = true;
    bool bMainWindow = true;
    std::vector<std::pair<std::string, std::string>> chain;
    std::vector<std::pair<std::string, bool>> forms;
    std::vector<std::string> shown;

    bool IsMainThread() const override { return bMainThread; }
    bool MainWindowExists() const override { return bMainWindow; }
    std::vector<std::pair<std::string, std::string>> FocusedControlChain() const override { return chain; }
    std::vector<std::pair<std::string, bool>> OpenForms() const override { return forms; }
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
};

struct TPost {
    std::string strUrl;
    std::string strBody;
};

// Fixed answers for every source, so that a report's text is known to the byte.
// Numbers print with the C locale's separators, times in UTC.
class ReportFixture : public ::testing::Test {
protected:
    ReportFixture() : m_Env("LC_ALL", "C") {
        m_Env.Set("TZ", "UTC");
        tzset();
        m_Sources.fnWindow = [this]() -> IReportWindowSide* { return m_pWindow; };
        m_Sources.fnMemory = [] {
            return TMemoryStatus{42, 8ull << 30, 3ull << 30, 10ull << 30, 6ull << 30, 1ull << 47, (1ull << 47) - (1ull << 30)};
        };
        m_Sources.fnWorkingSet = [] { return uint64_t{52'428'800}; };
        m_Sources.fnHeap = [] { return THeapStatistics{2'097'152, 1'048'576, 1'048'576, 1536, 1'047'040, 131'072, 0}; };
        m_Sources.fnStack = [this] { return m_lstStack; };
        m_Sources.fnNow = [] { return std::chrono::system_clock::from_time_t(1714993439); };  // 06/05/2024 11:03:59 UTC
        m_Sources.fnMachineId = [] { return std::string("0A1B2C3D"); };
        m_Sources.fnVersion = [] { return std::string("1.81.0.0"); };
        m_Sources.fnUnderWine = [this] { return m_bWine; };
        m_Sources.fnSystem = [] { return std::string("Debian 12 Workstation [64 Bits], Versão: 6.1, Build: 0, \"\""); };
        m_Sources.fnProcessor = [] { return std::string("Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX"); };
        m_Sources.fnScreen = [] { return TScreenInfo{1920, 1080, 24}; };
        m_Sources.fnFreeDiskBytes = [this]() -> int64_t {
            if (m_bDiskFails) throw std::runtime_error("no such drive");
            return int64_t{12'345} * 1'048'576 + 5;
        };
        m_Sources.fnUrl = [] { return std::string("https://errors.test/software/error"); };
        m_Sources.fnPost = [this](const std::string& url, const std::string& body) {
            m_lstPosts.push_back({url, body});
            if (m_bPostFails) throw std::runtime_error("Couldn't connect to server");
        };
        m_Sources.fnLanguage = [this] { return m_nLanguage; };
    }
    ~ReportFixture() override { tzset(); }

    static std::vector<std::string> SplitCrLf(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
            lines.push_back(text.substr(start, pos - start));
        if (start < text.size()) lines.push_back(text.substr(start));
        return lines;
    }

    std::string MakeReportText(const TReportedError& error, bool bSilent, const std::string* pThread = nullptr) {
        TExceptionObject report(error, pThread, 7, bSilent, m_Sources);
        report.CreateErrorDescription();
        return report.ReportText();
    }

    TScopedEnv m_Env;
    TReportSources m_Sources;
    FakeWindowSide m_Window;
    IReportWindowSide* m_pWindow = nullptr;
    std::vector<std::string> m_lstStack{"vantix(TInstallerThread::Execute()+0x1f) [0x401000]",
                                        "[0040A1B2] InstallerThreadU.TInstallerThread.Execute"};
    bool m_bWine = false;
    bool m_bDiskFails = false;
    bool m_bPostFails = false;
    uint8_t m_nLanguage = 0;
    std::vector<TPost> m_lstPosts;
};

// The runtime section up to the stack list, as the fixture's figures print.
std::vector<std::string> RuntimeHead(const std::string& installerMemory) {
    return {"Mem Load          : 42 %",
            "Mem Fisica Total  : 8,388,608 kb",
            "Mem Fisica Livre  : 3,145,728 kb",
            "Mem PageFile Total: 10,485,760 kb",
            "Mem PageFile Livre: 6,291,456 kb",
            "Mem Virtual Total : 137,438,953,472 kb",
            "Mem Virtual Livre : 137,437,904,896 kb",
            "Memoria Em Uso (Installer) : " + installerMemory,
            kSep,
            "Commited  : 2,048.00 kb",
            "Allocated : 1,024.00 kb",
            "Free      : 1,024.00 kb",
            "FreeSmall : 1.50 kb",
            "FreeBig   : 1,022.50 kb",
            "Unused    : 128.00 kb",
            "Overhead  : 0.00 kb",
            kSep,
            "Lista da Pilha, gerada 06/05/2024 11:03:59",
            "vantix(TInstallerThread::Execute()+0x1f) [0x401000]",
            "InstallerThreadU.TInstallerThread.Execute",
            kSep};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(ReportFixture, SilentReportOnAWorkerHasEveryLineInOrderWithoutWindowState) {
    const std::vector<std::string> head = {
        "Classe da Exceção   : std::runtime_error",
        "Mensagem da Exceção : disk & 100% full",
        "Endereço da Exceção: 0000000000000000",
        kSep,
        "Instalador - Orla Desk",
        "Versão    : 1.81.0.0",
        kSep,
        "Error Number   : 7",
        kSep,
        "Sistema    : Debian 12 Workstation [64 Bits], Versão: 6.1, Build: 0, \"\"",
        "Processador: Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX",
        "Monitor    : 1920x1080 pixels, 32 bpp",
        kSep,
        "Espaço Livre em Disco        : 12,345 MB",
        kSep,
    };
    const auto expected = Concat(Concat(head, RuntimeHead(" - ")), {kSep, "Silent Mode", kSep});
    const std::string text = MakeReportText(DescribeException(std::runtime_error("disk & 100% full")), true);
    EXPECT_EQ(SplitCrLf(text), expected);
    EXPECT_TRUE(text.ends_with(kSep + "\r\n"));
}

TEST_F(ReportFixture, ReportOnTheWindowThreadAddsControlChainFormsAndWorkingSet) {
    m_pWindow = &m_Window;
    m_Window.chain = {{"QLineEdit", "edtName"}, {"TFrameCreateInstall", "FrameCreateInstall"}, {"TSetupForm", "SetupForm"}};
    m_Window.forms = {{"TSetupForm", true}, {"TInternetConfig", false}};
    m_bWine = true;
    m_bDiskFails = true;
    const std::string thread = "TID 4242 \"vxDownload\"";
    const std::vector<std::string> head = {
        "Classe da Exceção   : std::logic_error",
        "Mensagem da Exceção : line one",  // the message's own CR LF breaks the line
        "line two",
        "Thread: TID 4242 \"vxDownload\"",
        kSep,
        "Instalador - Orla Desk",
        "Versão    : 1.81.0.0",
        "Windows Emulado : Sim",
        kSep,
        "Error Number   : 7",
        kSep,
        "Sistema    : Debian 12 Workstation [64 Bits], Versão: 6.1, Build: 0, \"\"",
        "Processador: Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX",
        "Monitor    : 1920x1080 pixels, 32 bpp",
        kSep,
        "Espaço Livre em Disco        :  - ",
        kSep,
    };
    const std::vector<std::string> window = {"Hierarquia de Controles Ativos:",
                                             "QLineEdit \"edtName\"",
                                             "TFrameCreateInstall \"FrameCreateInstall\"",
                                             "TSetupForm \"SetupForm\"",
                                             kSep,
                                             "",
                                             kSep,
                                             "TSetupForm",
                                             "TInternetConfig  (Invisible)",
                                             kSep};
    const auto expected = Concat(Concat(head, RuntimeHead("51,200 kb")), window);
    const std::string text = MakeReportText(DescribeException(std::logic_error("line one\r\nline two")), false, &thread);
    EXPECT_EQ(SplitCrLf(text), expected);
}

TEST_F(ReportFixture, FormListStopsAfterTwentyTwoForms) {
    m_pWindow = &m_Window;
    struct TCase {
        int nForms;
        int nListed;
        bool bEllipsis;
    };
    for (const TCase c : {TCase{25, 22, true}, TCase{22, 22, true}, TCase{21, 21, false}, TCase{0, 0, false}}) {
        SCOPED_TRACE(c.nForms);
        m_Window.forms.clear();
        for (int i = 0; i < c.nForms; ++i) m_Window.forms.push_back({"TForm" + std::to_string(i), true});
        TExceptionObject report({"Exception", "x", 0}, nullptr, 1, false, m_Sources);
        const auto& lines = report.RuntimeLines();
        int nListed = 0;
        for (const auto& line : lines) nListed += line.rfind("TForm", 0) == 0;
        EXPECT_EQ(nListed, c.nListed);
        const auto dots = std::find(lines.begin(), lines.end(), "...");
        EXPECT_EQ(dots != lines.end(), c.bEllipsis);
        if (c.bEllipsis) {
            EXPECT_EQ(*(dots - 1), "TForm21");
            EXPECT_EQ(*(dots + 1), kSep) << "nothing follows the ellipsis but the final separator";
        }
    }
}

TEST_F(ReportFixture, FormListThatFailsEndsSilently) {
    class Failing : public FakeWindowSide {
        std::vector<std::pair<std::string, bool>> OpenForms() const override { throw std::runtime_error("gone"); }
    } window;
    m_pWindow = &window;
    TExceptionObject report({"Exception", "x", 0}, nullptr, 1, false, m_Sources);
    const auto& lines = report.RuntimeLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 2], kSep);
    EXPECT_EQ(lines.back(), kSep);
}

TEST(StackLine, BracketedAddressIsTrimmed) {
    struct TCase {
        const char* line;
        const char* expected;
    };
    for (const TCase c : {TCase{"[0040A1B2] Unit.Proc", "Unit.Proc"},
                          TCase{"[0040A1B2]Unit.Proc", "Unit.Proc"},
                          TCase{"[0x7f3a12345678]", ""},
                          TCase{"[0x7f3a12345678] libc.so.6", "libc.so.6"},
                          TCase{"[short", ""},
                          TCase{"vantix(main+0x10) [0x401000]", "vantix(main+0x10) [0x401000]"},
                          TCase{"", ""}}) {
        EXPECT_EQ(TrimStackLine(c.line), c.expected) << c.line;
    }
}

TEST(StackLine, CapturedStackNamesTheCallingFunction) {
    const auto lines = CaptureStackList();
    ASSERT_FALSE(lines.empty());
    // The test binary keeps its symbols out of the dynamic table, so only the
    // module is certain; gtest's frames come from the same binary.
    EXPECT_NE(lines.front().find("vantix_core_tests"), std::string::npos) << lines.front();
}

TEST(Throttle, FirstErrorThenTenQuietMinutes) {
    TTime now{};
    TReportThrottle throttle([&] { return now; });
    const TTime start = std::chrono::system_clock::from_time_t(1'700'000'000);
    struct TStep {
        std::chrono::seconds tAt;  // since start
        bool bReport;
        int32_t nNumber;
    };
    const std::vector<TStep> steps = {
        {0s, true, 1},        // the first error is always reported
        {599s, false, 2},     // 599 s after the previous: dropped
        {1199s, true, 3},     // 600 s after the previous (itself dropped): reported, counting the dropped one
        {1200s, false, 4},
        {1200s, false, 5},    // same second
        {600s, true, 6},      // clock set back by ten minutes: the interval is absolute
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.tAt.count());
        now = start + step.tAt;
        const auto decision = throttle.RegisterError();
        EXPECT_EQ(decision.bReport, step.bReport);
        EXPECT_EQ(decision.nErrorNumber, step.nNumber);
    }
    throttle.Reset();
    EXPECT_EQ(throttle.ErrorCount(), 0);
    EXPECT_TRUE(throttle.RegisterError().bReport);
}

TEST(Throttle, AnErrorEveryFewMinutesForAnHourGivesOneReport) {
    TTime now = std::chrono::system_clock::from_time_t(1'700'000'000);
    TReportThrottle throttle([&] { return now; });
    int nReports = 0;
    for (int minute = 0; minute <= 60; minute += 4) {
        now += 4min;
        nReports += throttle.RegisterError().bReport;
    }
    EXPECT_EQ(nReports, 1);
    EXPECT_EQ(throttle.ErrorCount(), 16);
}

class HandlerFixture : public ReportFixture {
protected:
    HandlerFixture() : m_Reporter(m_Sources, [this] { return m_tNow; }) {}

    TTime m_tNow = std::chrono::system_clock::from_time_t(1'700'000'000);
    LogCapture m_Log;
    TErrorReporter m_Reporter;  // copies the sources: set m_pWindow and flags through the fixture's members

    static std::string ErrorNumberIn(const std::string& body) {
        const auto at = body.find("Error Number   : ");
        return at == std::string::npos ? "" : body.substr(at + 17, body.find("\r\n", at) - at - 17);
    }
};

TEST_F(HandlerFixture, MainAndSilentHandlersCountAndThrottleApart) {
    m_pWindow = &m_Window;
    EXPECT_TRUE(m_Reporter.SilentException({"Exception", "s1", 0}));
    m_tNow += 10s;
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "m1", 0})) << "the silent report does not start the main wait";
    m_tNow += 10s;
    EXPECT_FALSE(m_Reporter.SilentException({"Exception", "s2", 0}));
    m_tNow += 590s;  // 600 s after m1, 590 s after s2
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "m2", 0})) << "a silent error does not restart the main wait";
    EXPECT_FALSE(m_Reporter.SilentException({"Exception", "s3", 0}));

    ASSERT_EQ(m_lstPosts.size(), 3u);
    EXPECT_EQ(ErrorNumberIn(m_lstPosts[0].strBody), "1");
    EXPECT_EQ(ErrorNumberIn(m_lstPosts[1].strBody), "1");
    EXPECT_EQ(ErrorNumberIn(m_lstPosts[2].strBody), "2");
    EXPECT_TRUE(m_lstPosts[0].strBody.ends_with("&bSilentMode=1"));
    EXPECT_TRUE(m_lstPosts[1].strBody.ends_with("&bSilentMode=0"));
    EXPECT_EQ(m_Window.shown.size(), 2u) << "only the main handler's reports tell the user";
    EXPECT_EQ(m_Log.CountContaining("TExceptionObject.SilentException: Suppressed ErrorNumber="), 2u);
    EXPECT_TRUE(m_Log.Contains("TExceptionObject.SilentException: Suppressed ErrorNumber=3 Class=Exception Error=s3"));
}

TEST_F(HandlerFixture, SuppressedMainErrorShowsNothing) {
    m_pWindow = &m_Window;
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "first", 0}));
    m_tNow += 599s;
    EXPECT_FALSE(m_Reporter.ExceptionHandler({"Exception", "second", 0}));
    EXPECT_EQ(m_lstPosts.size(), 1u);
    EXPECT_EQ(m_Window.shown.size(), 1u);
}

TEST_F(HandlerFixture, UserMessageFollowsTheLanguageValue) {
    m_pWindow = &m_Window;
    struct TCase {
        uint8_t nLanguage;
        const char* start;
    };
    for (const TCase c : {TCase{0, "Ocorreu um erro com o Instalador.\r\n"}, TCase{1, "There was an error"},
                          TCase{2, "Hay un error con el instalador.\r\n"}, TCase{7, "There was an error"}}) {
        m_nLanguage = c.nLanguage;
        m_tNow += 601s;
        ASSERT_TRUE(m_Reporter.ExceptionHandler({"Exception", "x", 0}));
        ASSERT_FALSE(m_Window.shown.empty());
        EXPECT_EQ(m_Window.shown.back().rfind(c.start, 0), 0u) << int(c.nLanguage) << ": " << m_Window.shown.back();
    }
}

TEST_F(HandlerFixture, DetourFrameMakesAWindowReportSilentButTheUserIsStillTold) {
    m_pWindow = &m_Window;
    m_lstStack = {"uxtheme(Detour_UxTheme_OpenThemeDataForDPI+0x12) [0x7f0000001000]"};
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "theme", 0}));
    ASSERT_EQ(m_lstPosts.size(), 1u);
    EXPECT_TRUE(m_lstPosts[0].strBody.ends_with("Silent Mode\r\n" + kSep + "\r\n&bSilentMode=1"));
    EXPECT_EQ(m_Window.shown.size(), 1u);

    m_lstStack = {"uxtheme(detour_uxtheme_openthemedatafordpi+0x12) [0x7f0000001000]"};
    m_tNow += 600s;
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "theme", 0}));
    ASSERT_EQ(m_lstPosts.size(), 2u);
    EXPECT_TRUE(m_lstPosts[1].strBody.ends_with("&bSilentMode=0")) << "the rule is case-sensitive";
}

TEST_F(HandlerFixture, ThreadHandlerAlwaysReportsWithoutCounting) {
    m_pWindow = &m_Window;
    EXPECT_TRUE(m_Reporter.ExceptionHandler({"Exception", "m1", 0}));
    m_Reporter.ExceptionThreadHandler("TID 7 \"worker\"", {"std::runtime_error", "handed over", 0});
    m_Reporter.ExceptionThreadHandler("TID 7 \"worker\"", {"std::runtime_error", "again", 0});
    ASSERT_EQ(m_lstPosts.size(), 3u);
    EXPECT_NE(m_lstPosts[2].strBody.find("Thread: TID 7 \"worker\"\r\n"), std::string::npos);
    EXPECT_EQ(ErrorNumberIn(m_lstPosts[2].strBody), "1");
    EXPECT_EQ(m_Reporter.MainThrottle().ErrorCount(), 1);
    EXPECT_EQ(m_Window.shown.size(), 3u);
    m_tNow += 1s;
    EXPECT_FALSE(m_Reporter.ExceptionHandler({"Exception", "m2", 0})) << "the thread handler does not reset the wait";
}

TEST_F(HandlerFixture, SendErrorLogsTheReportAndPostsTheBodyUnencoded) {
    m_Sources.fnMachineId = [] { return std::string("0A1B2C3D"); };
    TExceptionObject report({"Exception", "a&b=c 50% ç\r\nnext", 0}, nullptr, 1, true, m_Sources);
    report.CreateErrorDescription();
    report.SendError();
    const std::string text = report.ReportText();
    ASSERT_EQ(m_lstPosts.size(), 1u);
    EXPECT_EQ(m_lstPosts[0].strUrl, "https://errors.test/software/error");
    EXPECT_EQ(m_lstPosts[0].strBody, "strActivationCode=000000000000000&strHardID=0A1B2C3D&strVersion=1.81.0.0&str_error=" +
                                         text + "&bSilentMode=1");
    const std::string message = "Mensagem da Exceção : a&b=c 50% ç\r\nnext\r\n";
    const size_t at = text.find(message);
    ASSERT_NE(at, std::string::npos);
    // The log copy is line for line the report, but the message's own line
    // break is escaped: it cannot forge a line of the log.
    std::string logged = text;
    logged.replace(at, message.size(), "Mensagem da Exceção : a&b=c 50% ç\\r\\nnext\r\n");
    EXPECT_NE(m_Log.Raw().find(": Exception:  HardID=0A1B2C3D Version=1.81.0.0 SilentMode=1\r\n" + logged + "\r\n\r\n"),
              std::string::npos);
}

TEST_F(HandlerFixture, FailedDeliveryIsLoggedInOneLineAndTheHandlerReturns) {
    m_bPostFails = true;
    EXPECT_TRUE(m_Reporter.SilentException({"Exception", "x", 0}));
    const auto failures = m_Log.Matching("TExceptionObject.SendError: Report not delivered");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0],
              "TExceptionObject.SendError: Report not delivered | Url=https://errors.test/software/error "
              "Error=Couldn't connect to server");
    EXPECT_TRUE(m_Log.Contains("Exception:  HardID=0A1B2C3D"));
}

TEST_F(HandlerFixture, ASourceThatRaisesEndsInALogLineNotInTheCaller) {
    m_Sources.fnMachineId = [] () -> std::string { throw std::runtime_error("machine facts unreadable"); };
    TErrorReporter reporter(m_Sources, [this] { return m_tNow; });
    EXPECT_NO_THROW(reporter.SilentException({"Exception", "x", 0}));
    EXPECT_TRUE(m_Log.Contains(
        "TExceptionObject.SilentException: the report could not be made | Error=machine facts unreadable"));
}

// The process-wide handlers that the engine and the workers call.
TEST(ProcessHandlers, SilentExceptionReportsIntoTheLogAndReturns) {
    LogCapture log;
    TScopedEnv env("ORLADESK_ERROR_REPORT_URL", "https://127.0.0.1:1/software/error");
    ProcessErrorReporter().ResetThrottles();
    try {
        throw std::runtime_error("engine & worker 100%");
    } catch (const std::exception& e) {
        TExceptionObject::SilentException(e);
    }
    TExceptionObject::SilentException(std::string("Invalid md5 verified while installing\r\nFile: a.txt"));
    const auto entries = log.Matching("Exception:  HardID=");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].find(" SilentMode=1"), std::string::npos);
    EXPECT_TRUE(log.Contains("Classe da Exceção   : std::runtime_error"));
    EXPECT_TRUE(log.Contains("Mensagem da Exceção : engine & worker 100%"));
    const auto address = log.Matching("Endereço da Exceção: ");
    ASSERT_EQ(address.size(), 1u);
    EXPECT_NE(address[0], "Endereço da Exceção: 0000000000000000") << "raised inside a catch block";
    EXPECT_TRUE(log.Contains("Report not delivered | Url=https://127.0.0.1:1/software/error"));
    EXPECT_TRUE(log.Contains("TExceptionObject.SilentException: Suppressed ErrorNumber=2 Class=Exception "
                             "Error=Invalid md5 verified while installing"));
    ProcessErrorReporter().ResetThrottles();
}

TEST(ProcessHandlers, WithoutAWindowTheUserMessageGoesToStderr) {
    LogCapture log;
    TScopedEnv env("ORLADESK_ERROR_REPORT_URL", "https://127.0.0.1:1/software/error");
    ProcessErrorReporter().ResetThrottles();
    ::testing::internal::CaptureStderr();
    TExceptionObject::ExceptionHandler(std::runtime_error("escaped"));
    const std::string err = ::testing::internal::GetCapturedStderr();
    ProcessErrorReporter().ResetThrottles();
    EXPECT_NE(err.find("Corvane"), std::string::npos) << err;
    EXPECT_EQ(log.CountContaining("Exception:  HardID="), 1u);
    EXPECT_FALSE(log.Contains("Hierarquia de Controles Ativos:"));
}

}  // namespace
