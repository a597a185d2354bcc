#include "diagnostics/ExceptionObject.h"

#include <cxxabi.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include "base/Edition.h"
#include "base/EditionConstants.h"
#include "base/Texts.h"
#include "diagnostics/ErrorReportDelivery.h"
#include "diagnostics/ErrorReporter.h"
#include "diagnostics/Log.h"
#include "diagnostics/MachineIdentity.h"
#include "diagnostics/ReportWindowSide.h"
#include "diagnostics/SystemDiagnostics.h"
#include "diagnostics/VMDetector.h"
#include "platform/Folders.h"
#include "platform/Hives.h"
#include "platform/ProcessList.h"

namespace {

constexpr const char* kDetourFrame = "Detour_UxTheme_OpenThemeDataForDPI";
// The service expects an activation code field; the installer has none.
constexpr const char* kActivationPlaceholder = "000000000000000";
// The most forms the list names; the rest is "...".
constexpr size_t kMaxFormsListed = 22;

std::string HexAddress(uintptr_t nAddress) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(nAddress));
    return buf;
}

// The user's short date and long time.
std::string LocalDateTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S", &local);
    return buf;
}

std::string TrimBlanksAndBreaks(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// "a\r\nb" gives {"a", "b"}; an empty text gives one empty line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::string SystemLine() {
    const TOsVersion& os = OsVersion();
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, ", Vers\xC3\xA3o: %u.%u, Build: %X, \"", os.nMajor, os.nMinor, os.nBuild);
    return os.strName + " " + os.strProductType + " [" + (Is64BitWindows() ? "64" : "32") + " Bits]" + numbers +
           os.strServicePack + "\"";
}

bool ProcessUnderWine() {
    try {
        std::unique_ptr<IRegistryHive> currentUser, localMachine;
        try {
            currentUser = OpenCurrentUserHive();
        } catch (const std::exception&) {
            // A hive that cannot be opened has no Wine key.
        }
        try {
            localMachine = OpenLocalMachineHive();
        } catch (const std::exception&) {
        }
        const std::unique_ptr<IProcessList> processes = CreateProcessList();
        return TVMDetector(*processes, currentUser.get(), localMachine.get()).UnderWine();
    } catch (const std::exception&) {
        return false;
    }
}

uintptr_t CallerAddressIfHandling(void* pReturnAddress) {
    return std::current_exception() ? reinterpret_cast<uintptr_t>(pReturnAddress) : 0;
}

}  // namespace

TReportedError DescribeException(const std::exception& e, uintptr_t nAddress) {
    int status = 0;
    const char* mangled = typeid(e).name();
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     &std::free);
    return {status == 0 && name ? std::string(name.get()) : std::string(mangled), e.what(), nAddress};
}

TReportSources::TReportSources()
    : fnWindow([] { return ReportWindowSide(); }),
      fnMachineId([] { return MachineIdHex(); }),
      fnVersion(GetAppVersion),
      fnUnderWine(ProcessUnderWine),
      fnSystem(SystemLine),
      fnProcessor([] { return FormatProcessorDescription(GetProcessorInfo()); }),
      fnFreeDiskBytes([] { return GetFreeDiskSpace(AppDataFolder()); }),
      fnUrl(edition::strErrorReportUrl),
      fnPost([](const std::string& url, const std::string& body) {
          PostErrorReport({url, body});
      }),
      fnLanguage(GetLanguage) {}

TExceptionObject::TExceptionObject(const TReportedError& error, const std::string* pThread, int32_t nExceptCount,
                                   bool bSilentMode, const TReportSources& sources)
    : m_Sources(sources), m_nErrorNumber(nExceptCount), m_bSilentMode(bSilentMode) {
    m_pWindow = m_Sources.fnWindow ? m_Sources.fnWindow() : nullptr;
    m_bIsMainThread = m_pWindow != nullptr && m_pWindow->IsMainThread();
    if (m_bIsMainThread) {
        try {
            m_LastActiveControl = m_pWindow->FocusedControlChain();
        } catch (const std::exception&) {
            // No chain then: the report is about the error, not about the focus.
            m_LastActiveControl.clear();
        }
    }

    m_lstError.push_back("Classe da Exce\xC3\xA7\xC3\xA3o   : " + error.strClassName);
    m_lstError.push_back("Mensagem da Exce\xC3\xA7\xC3\xA3o : " + error.strMessage);
    if (pThread != nullptr)
        m_lstError.push_back("Thread: " + *pThread);
    else
        m_lstError.push_back("Endere\xC3\xA7o da Exce\xC3\xA7\xC3\xA3o: " + HexAddress(error.nAddress));
    m_lstError.push_back(kSeparatorLine);
    m_lstError.push_back(std::string("Instalador - ") + edition::strProductDisplayName);

    AddRuntimeInfo();

    if (!m_bSilentMode) {
        for (const std::string& line : m_lstStackList)
            if (line.find(kDetourFrame) != std::string::npos) m_bSilentMode = true;
    }
}

void TExceptionObject::AddRuntimeInfo() {
    const TMemoryStatus memory = m_Sources.fnMemory();
    m_lstStackList.push_back("Mem Load          : " + std::to_string(memory.nMemoryLoad) + " %");
    m_lstStackList.push_back("Mem Fisica Total  : " + FormatKilobytes(memory.nTotalPhys) + " kb");
    m_lstStackList.push_back("Mem Fisica Livre  : " + FormatKilobytes(memory.nAvailPhys) + " kb");
    m_lstStackList.push_back("Mem PageFile Total: " + FormatKilobytes(memory.nTotalPageFile) + " kb");
    m_lstStackList.push_back("Mem PageFile Livre: " + FormatKilobytes(memory.nAvailPageFile) + " kb");
    m_lstStackList.push_back("Mem Virtual Total : " + FormatKilobytes(memory.nTotalVirtual) + " kb");
    m_lstStackList.push_back("Mem Virtual Livre : " + FormatKilobytes(memory.nAvailVirtual) + " kb");

    std::string installer = " - ";
    try {
        if (m_pWindow != nullptr && m_pWindow->MainWindowExists())
            installer = FormatKilobytes(m_Sources.fnWorkingSet()) + " kb";
    } catch (const std::exception&) {
        installer = " - ";
    }
    m_lstStackList.push_back("Memoria Em Uso (Installer) : " + installer);
    m_lstStackList.push_back(kSeparatorLine);

    const THeapStatistics heap = m_Sources.fnHeap();
    m_lstStackList.push_back("Commited  : " + FormatKilobytes2(heap.nCommitted) + " kb");
    m_lstStackList.push_back("Allocated : " + FormatKilobytes2(heap.nAllocated) + " kb");
    m_lstStackList.push_back("Free      : " + FormatKilobytes2(heap.nFree) + " kb");
    m_lstStackList.push_back("FreeSmall : " + FormatKilobytes2(heap.nFreeSmall) + " kb");
    m_lstStackList.push_back("FreeBig   : " + FormatKilobytes2(heap.nFreeBig) + " kb");
    m_lstStackList.push_back("Unused    : " + FormatKilobytes2(heap.nUnused) + " kb");
    m_lstStackList.push_back("Overhead  : " + FormatKilobytes2(heap.nOverhead) + " kb");
    m_lstStackList.push_back(kSeparatorLine);

    AddStackList();
    m_lstStackList.push_back(kSeparatorLine);
    if (m_bIsMainThread) AddWindowState(*m_pWindow);
    m_lstStackList.push_back(kSeparatorLine);
}

void TExceptionObject::AddStackList() {
    std::vector<std::string> frames;
    try {
        frames = m_Sources.fnStack();
    } catch (const std::exception&) {
        frames.clear();
    }
    if (frames.empty()) return;
    m_lstStackList.push_back("Lista da Pilha, gerada " + LocalDateTime(m_Sources.fnNow()));
    for (const std::string& frame : frames) m_lstStackList.push_back(TrimStackLine(frame));
}

void TExceptionObject::AddWindowState(IReportWindowSide& window) {
    if (!m_LastActiveControl.empty()) {
        m_lstStackList.push_back("Hierarquia de Controles Ativos:");
        for (const auto& [className, name] : m_LastActiveControl)
            m_lstStackList.push_back(className + " \"" + name + "\"");
        m_lstStackList.push_back(kSeparatorLine);
    }
    m_lstStackList.push_back("");
    m_lstStackList.push_back(kSeparatorLine);
    try {
        size_t nListed = 0;
        for (const auto& [className, bVisible] : window.OpenForms()) {
            m_lstStackList.push_back(className + (bVisible ? "" : "  (Invisible)"));
            if (++nListed == kMaxFormsListed) {
                m_lstStackList.push_back("...");
                break;
            }
        }
    } catch (const std::exception&) {
        // Walking the forms failed: the list simply ends here.
    }
}

std::string TExceptionObject::RuntimeText() const {
    std::string text;
    for (const std::string& line : m_lstStackList) text += line + "\r\n";
    return TrimBlanksAndBreaks(text);
}

void TExceptionObject::CreateErrorDescription() {
    m_strMachineID = m_Sources.fnMachineId();
    m_strVersion = m_Sources.fnVersion();

    m_lstError.push_back("Vers\xC3\xA3o    : " + m_strVersion);
    bool bWine = false;
    try {
        bWine = m_Sources.fnUnderWine();
    } catch (const std::exception&) {
        bWine = false;
    }
    if (bWine) m_lstError.push_back("Windows Emulado : Sim");
    m_lstError.push_back(kSeparatorLine);
    m_lstError.push_back("Error Number   : " + std::to_string(m_nErrorNumber));
    m_lstError.push_back(kSeparatorLine);
    m_lstError.push_back("Sistema    : " + m_Sources.fnSystem());
    m_lstError.push_back("Processador: " + m_Sources.fnProcessor());
    const TScreenInfo screen = m_Sources.fnScreen();
    // The report always says 32 bits per pixel, whatever the device.
    m_lstError.push_back("Monitor    : " + std::to_string(screen.nWidth) + "x" + std::to_string(screen.nHeight) +
                         " pixels, 32 bpp");
    m_lstError.push_back(kSeparatorLine);
    std::string freeSpace;
    try {
        freeSpace = FormatMegabytes(m_Sources.fnFreeDiskBytes());
    } catch (const std::exception&) {
        freeSpace = " - ";
    }
    m_lstError.push_back("Espa\xC3\xA7o Livre em Disco        : " + freeSpace);
    m_lstError.push_back(kSeparatorLine);
    // One line per entry: the log writes each entry as one line of its own.
    for (const std::string& line : SplitLines(RuntimeText())) m_lstError.push_back(line);
    if (m_bSilentMode) {
        m_lstError.push_back("Silent Mode");
        m_lstError.push_back(kSeparatorLine);
    }
}

std::string TExceptionObject::ReportText() const {
    std::string text;
    for (const std::string& line : m_lstError) text += line + "\r\n";
    return text;
}

std::string TExceptionObject::PostBody() const {
    return std::string("strActivationCode=") + kActivationPlaceholder + "&strHardID=" + m_strMachineID +
           "&strVersion=" + m_strVersion + "&str_error=" + ReportText() + "&bSilentMode=" + (m_bSilentMode ? "1" : "0");
}

void TExceptionObject::SendError() noexcept {
    try {
        const std::string flag = m_bSilentMode ? "1" : "0";
        std::vector<std::string> entry{"Exception:  HardID=" + m_strMachineID + " Version=" + m_strVersion +
                                       " SilentMode=" + flag};
        entry.insert(entry.end(), m_lstError.begin(), m_lstError.end());
        entry.insert(entry.end(), {"", ""});
        AppendLogLines(entry);
        const std::string url = m_Sources.fnUrl();
        try {
            m_Sources.fnPost(url, PostBody());
        } catch (const std::exception& e) {
            // Nobody waits for the delivery: the report stays in the log.
            AppendLog("TExceptionObject.SendError: Report not delivered | Url=" + url + " Error=" + e.what());
        }
    } catch (const std::exception& e) {
        AppendLog(std::string("TExceptionObject.SendError: Except: ") + e.what());
    }
}

std::string TExceptionObject::GetMachineID() { return MachineIdHex(); }

void TExceptionObject::ExceptionHandler(const std::exception& e) noexcept {
    const uintptr_t nAddress = CallerAddressIfHandling(__builtin_return_address(0));
    try {
        ProcessErrorReporter().ExceptionHandler(DescribeException(e, nAddress));
    } catch (...) {
        AppendLog("TExceptionObject.ExceptionHandler: the report could not be made");
    }
}

void TExceptionObject::SilentException(const std::exception& e) noexcept {
    const uintptr_t nAddress = CallerAddressIfHandling(__builtin_return_address(0));
    try {
        ProcessErrorReporter().SilentException(DescribeException(e, nAddress));
    } catch (...) {
        AppendLog("TExceptionObject.SilentException: the report could not be made");
    }
}

void TExceptionObject::SilentException(const std::string& message) noexcept {
    const uintptr_t nAddress = CallerAddressIfHandling(__builtin_return_address(0));
    try {
        // The class a report names for a failure the caller describes itself.
        ProcessErrorReporter().SilentException({"Exception", message, nAddress});
    } catch (...) {
        AppendLog("TExceptionObject.SilentException: the report could not be made");
    }
}

void TExceptionObject::ExceptionThreadHandler(const std::string& strThread, const std::exception& e) noexcept {
    try {
        ProcessErrorReporter().ExceptionThreadHandler(strThread, DescribeException(e));
    } catch (...) {
        AppendLog("TExceptionObject.ExceptionThreadHandler: the report could not be made");
    }
}
