// The installer started as a user or calling software would start it, in a sandbox.

#include <gtest/gtest.h>
#include <regex>
#include <thread>

#include "support/BackgroundProcess.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"
#include "support/SilentServer.h"

namespace {

const std::string kInstaller = VX_BIN_DIR "/OrlaDesk";

size_t CountLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

bool HasTemporaryFolder(const Sandbox& box) {
    for (const auto& entry : std::filesystem::directory_iterator(box.Temp()))
        if (entry.path().filename().string().starts_with("Corvane_")) return true;
    return false;
}

TEST(InstallerStart, HelpGoesToTheTerminalInTheLanguageValue) {
    struct Case {
        std::vector<std::string> args;
        std::string language;
        std::string title;
        size_t lines;
    };
    for (const auto& c : std::vector<Case>{{{"/?"}, "", "Orla Desk - Ajuda", 16},
                                           {{"/install", "two", "words"}, "en", "Orla Desk - Help", 16},
                                           {{"/update", "/?"}, "es", "Orla Desk - Ayuda", 15}}) {
        Sandbox box;
        auto result = RunProcess(kInstaller, c.args, box.Environment({{"ORLADESK_LANGUAGE", c.language}}));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(result.out.starts_with(c.title + "\n\n")) << result.out;
        EXPECT_EQ(CountLines(result.out), c.lines + 2);
        EXPECT_NE(result.out.find("OrlaDesk /install"), std::string::npos) << "usage names the program file";
        EXPECT_FALSE(HasTemporaryFolder(box)) << "the help branch makes no temporary folder";
        std::string log = box.LastLog();
        EXPECT_NE(log.find("LogU.AppendLogSystemDiag : Espa\xC3\xA7o Livre em Disco= "), std::string::npos);
        EXPECT_EQ(log.find("Execute"), std::string::npos) << "no installer thread in the help branch";
    }
}

TEST(InstallerStart, LogFileHasItsNameEncodingAndDiagnosticsBlock) {
    Sandbox box;
    RunProcess(kInstaller, {"/?"}, box.Environment());
    auto logs = box.LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(std::regex_match(logs[0].filename().string(),
                                 std::regex(R"(OrlaDesk \d{2}-\d{2}-\d{4}_\d{2}-\d{2}-\d{2}\.log)")));
    std::string log = ReadFileText(logs[0]);
    EXPECT_FALSE(log.starts_with("\xEF\xBB\xBF"));
    for (auto entry : {"LogU.AppendLogSystemDiag : Usando M\xC3\xA1quina Virtual = ",
                       "LogU.AppendLogSystemDiag : Usando Ambiente Emulado (Wine) = ", ": Nome:        Orla Desk\r\n",
                       "\r\nVers\xC3\xA3o:      1.81.0.0\r\n", "\r\nSistema:     ", "\r\nProcessador: ",
                       "\r\nMonitor:     "})
        EXPECT_NE(log.find(entry), std::string::npos) << entry;
    EXPECT_EQ(std::filesystem::status(logs[0]).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(InstallerStart, InteractiveStartWithoutDisplayFailsClearly) {
    Sandbox box;
    auto result = RunProcess(kInstaller, {}, box.Environment());
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("no display"), std::string::npos) << result.err;
    EXPECT_FALSE(HasTemporaryFolder(box)) << "the temporary folder is removed at the end";
}

TEST(InstallerStart, SecondCopyLeavesTheFirstAloneAndTellsCallersNothingHappened) {
    Sandbox box;
    SilentServer server;
    auto env = box.Environment({{"ORLADESK_DOWNLOAD_SERVER_URL", server.Url()}});
    BackgroundProcess first(kInstaller, {"/install"}, env);
    for (int i = 0; i < 200 && box.LastLog().find("WM_VERIFY_PREVIOUS_INSTALL") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(box.LastLog().find("WM_VERIFY_PREVIOUS_INSTALL"), std::string::npos);
    EXPECT_TRUE(HasTemporaryFolder(box)) << "the running installer keeps its temporary folder";

    EXPECT_EQ(RunProcess(kInstaller, {"/install", "b"}, env).exitCode, 255);
    EXPECT_EQ(RunProcess(kInstaller, {"/update"}, env).exitCode, 255);
    EXPECT_EQ(RunProcess(kInstaller, {}, env).exitCode, 0);
    EXPECT_TRUE(first.IsRunning());
    first.Stop();
}

}  // namespace
