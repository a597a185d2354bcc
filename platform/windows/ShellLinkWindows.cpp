#include <windows.h>
// The other system headers build on windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <cctype>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/ShellLink.h"
#include "platform/windows/ComApartment.h"
#include "platform/windows/CommandLineArgument.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr() {
        if (m_p) m_p->Release();
    }
    T* operator->() const { return m_p; }
    void** Receive() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

[[noreturn]] void Fail(const fs::path& file, const char* step, unsigned long code) {
    throw std::runtime_error("SaveShellLink: " + std::string(step) + " " + Narrow(file.wstring()) + ": " +
                             WindowsErrorText(code));
}

void Check(HRESULT hr, const fs::path& file, const char* step) {
    if (FAILED(hr)) Fail(file, step, static_cast<unsigned long>(hr));
}

// A name beside the link that no other thread or process picks at the same time.
fs::path TemporaryName(const fs::path& file) {
    static std::atomic<unsigned> nextNumber{0};
    return file.parent_path() / (L"." + file.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++nextNumber) + L".tmp");
}

}  // namespace

fs::path ShellLinkFilePath(const std::string& linkPath) {
    if (HasLinkExtension(linkPath)) return fs::path(Widen(linkPath));
    return fs::path(Widen(linkPath + ".lnk"));
}

std::string DesktopExecArgument(const std::string& argument) { return CommandLineArgument(argument); }

void SaveShellLink(const std::string& linkPath, const std::string& targetExe, const std::string& arguments,
                   const std::string& description, const std::string& workingFolder) {
    const fs::path file = ShellLinkFilePath(linkPath);
    // Each word is one argument, as on Linux, whatever quotes it holds.
    std::string commandLine;
    for (const std::string& word : LinkArgumentWords(arguments)) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += DesktopExecArgument(word);
    }

    TComApartment com;
    TComPtr<IShellLinkW> link;
    Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Receive()), file,
          "cannot make a shell link for");
    Check(link->SetPath(Widen(targetExe).c_str()), file, "cannot set the target of");
    Check(link->SetArguments(Widen(commandLine).c_str()), file, "cannot set the arguments of");
    if (!workingFolder.empty())
        Check(link->SetWorkingDirectory(Widen(workingFolder).c_str()), file, "cannot set the folder of");
    if (!description.empty())
        Check(link->SetDescription(Widen(description).c_str()), file, "cannot set the description of");
    TComPtr<IPersistFile> persist;
    Check(link->QueryInterface(IID_IPersistFile, persist.Receive()), file, "cannot save");

    // Written beside the link and moved over it, so that a reader never sees
    // half a link and a failure leaves the old one.
    const fs::path temporary = TemporaryName(file);
    const HRESULT hr = persist->Save(temporary.c_str(), TRUE);
    if (FAILED(hr)) {
        DeleteFileW(temporary.c_str());
        Fail(file, "cannot write", static_cast<unsigned long>(hr));
    }
    if (!MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        Fail(file, "cannot rename into", error);
    }
}
