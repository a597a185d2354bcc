#include <windows.h>
// The other system headers build on windows.h.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ShellLink.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

struct TLinkRead {
    std::wstring strPath, strArguments, strFolder, strDescription;
};

// Reads a link back through the shell's own object, as Explorer would.
TLinkRead ReadLink(const fs::path& file) {
    TLinkRead read;
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    if (!link) return read;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    if (persist && SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
        wchar_t text[INFOTIPSIZE] = {};
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) read.strPath = text;
        if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) read.strArguments = text;
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) read.strFolder = text;
        if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) read.strDescription = text;
    } else {
        ADD_FAILURE() << "cannot load " << Narrow(file.wstring());
    }
    if (persist) persist->Release();
    link->Release();
    return read;
}

// What a started program would receive as its arguments.
std::vector<std::wstring> ParsedArguments(const std::wstring& arguments) {
    // CommandLineToArgvW treats the first word as the program name.
    const std::wstring line = L"prog.exe " + arguments;
    int nCount = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &nCount);
    std::vector<std::wstring> result(argv + 1, argv + nCount);
    LocalFree(argv);
    return result;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

class ShellLinkWindows : public testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        fs::create_directories(m_Dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_Dir, ec);
        CoUninitialize();
    }
    std::vector<fs::path> Files() const {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(m_Dir)) names.push_back(entry.path().filename());
        return names;
    }
    const fs::path m_Dir = fs::temp_directory_path() / (L"vxlink \u00e1rea-" + std::to_wstring(GetCurrentProcessId()));
};

TEST_F(ShellLinkWindows, WritesALinkTheShellReadsBack) {
    const fs::path link = m_Dir / L"Orla Desk (a).lnk";
    SaveShellLink(Narrow(link.wstring()), Narrow(ThisProgram()), "--a b\"c d\\ 100%", "Abre o Orla Desk",
                  Narrow((m_Dir / L"pasta \u00e7").wstring()));
    EXPECT_EQ(Files(), std::vector<fs::path>{L"Orla Desk (a).lnk"}) << "nothing else is left beside it";

    const TLinkRead read = ReadLink(link);
    EXPECT_EQ(read.strPath, ThisProgram());
    EXPECT_EQ(ParsedArguments(read.strArguments), (std::vector<std::wstring>{L"--a", L"b\"c", L"d\\", L"100%"}));
    EXPECT_EQ(read.strFolder, (m_Dir / L"pasta \u00e7").wstring());
    EXPECT_EQ(read.strDescription, L"Abre o Orla Desk");
}

TEST_F(ShellLinkWindows, ASecondSaveReplacesTheLink) {
    wchar_t system[MAX_PATH];
    const std::wstring other = std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\cmd.exe";
    const std::string link = Narrow((m_Dir / L"x.LNK").wstring());
    SaveShellLink(link, Narrow(ThisProgram()), "--old", "", "");
    SaveShellLink(link, Narrow(other), "", "", "");
    const TLinkRead read = ReadLink(m_Dir / L"x.LNK");
    EXPECT_EQ(read.strPath, other);
    EXPECT_EQ(read.strArguments, L"");
    EXPECT_EQ(Files().size(), 1u);
}

TEST_F(ShellLinkWindows, AMissingFolderIsAnErrorNamingTheLink) {
    const fs::path missing = m_Dir / L"missing" / L"y.lnk";
    try {
        SaveShellLink(Narrow(missing.wstring()), Narrow(ThisProgram()), "", "", "");
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(Narrow(missing.wstring())), std::string::npos) << e.what();
    }
    EXPECT_TRUE(Files().empty());
}

TEST(ShellLinkWindowsNames, TheLinkFileEndsInLnk) {
    const std::vector<std::pair<std::string, std::wstring>> cases = {
        {"C:\\D\\Orla Desk (a).lnk", L"C:\\D\\Orla Desk (a).lnk"},
        {"C:\\D\\x.LnK", L"C:\\D\\x.LnK"},
        {"C:\\D\\x", L"C:\\D\\x.lnk"},
        {"C:\\D\\x.desktop", L"C:\\D\\x.desktop.lnk"},
        {"C:\\\xC3\x81rea\\x.lnk", L"C:\\\u00c1rea\\x.lnk"},
    };
    for (const auto& [link, file] : cases) EXPECT_EQ(ShellLinkFilePath(link).wstring(), file) << link;
}

TEST(ShellLinkWindowsNames, EachArgumentComesBackWhole) {
    const std::vector<std::string> cases = {
        "plain",  "",          "two words", "a\"b",       "\"", "end\\", "dir\\with space\\", "\\\\server\\share",
        "x\\\"y", "tab\there", "100%",      "caf\xC3\xA9"};
    std::string line;
    std::vector<std::wstring> expected;
    for (const std::string& argument : cases) {
        if (!line.empty()) line += ' ';
        line += DesktopExecArgument(argument);
        expected.push_back(Widen(argument));
        EXPECT_EQ(ParsedArguments(Widen(DesktopExecArgument(argument))), std::vector<std::wstring>{Widen(argument)})
            << argument;
    }
    EXPECT_EQ(ParsedArguments(Widen(line)), expected);
    EXPECT_EQ(DesktopExecArgument("plain"), "plain") << "no quotes where none are needed";
}

}  // namespace
