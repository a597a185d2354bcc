#include <gtest/gtest.h>

#include "base/MessageIds.h"
#include "base/Texts.h"
#include "engine/InstallerThread.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/EngineTestEnvironment.h"
#include "support/LogCapture.h"
#include "support/RecordingTarget.h"

namespace {

class InstallerThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<TInstallerThread>(
            window, TestEngineEnvironment(std::make_shared<TRegistryHiveSqlite>(dir / "hkcu.sqlite", false),
                                          dir / "appdata", "http://127.0.0.1:9"));
        engine->Start();
        engine->WaitStart();
    }
    // Posts a marker and waits until the engine has handled it, so everything
    // posted before has been handled too.
    void Drain() {
        static int n = 2000;
        engine->PostThreadMessage(++n);
        ASSERT_TRUE(log.WaitForLine("UNKNOWN (" + std::to_string(n) + ")"));
    }
    // A proxy message without its record makes the handler raise.
    void PostFailingMessage() { engine->PostThreadMessage(WM_SET_PROXY_CONFIG); }

    LogCapture log;
    TempDir dir;
    RecordingTarget window;
    std::unique_ptr<TInstallerThread> engine;
};

TEST_F(InstallerThreadTest, StartLogsIdentifierAndSystem) {
    Drain();
    auto lines = log.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Execute");
    EXPECT_TRUE(lines[1].starts_with("TInstallerThread.Execute: Identifier=0A1B2C3D_"));
    EXPECT_EQ(lines[1].size(), std::string("TInstallerThread.Execute: Identifier=0A1B2C3D_dd-mm-hh-nn").size());
    EXPECT_EQ(lines[2], "TInstallerThread.Execute: OS=Test OS");
    EXPECT_EQ(engine->Identifier(), lines[1].substr(lines[1].find('=') + 1));
}

TEST_F(InstallerThreadTest, MessagesAreHandledInOrderWithNames) {
    engine->SetUnnatendedValues("a", citInstall);
    engine->SetProxyConfig(TProxySettings{"proxy.local", 3128, "", "user", "secret"});
    TMessage name;
    name.message = WM_SET_INSTALL_NAME;
    name.text = "casa";
    engine->PostThreadMessage(std::move(name));
    engine->PostThreadMessage(1279);
    Drain();
    auto processed = log.Matching("TInstallerThread.ProcessMessage: ");
    ASSERT_GE(processed.size(), 4u);
    EXPECT_EQ(processed[0], "TInstallerThread.ProcessMessage: WM_SET_UNNATENDED_VALUES.");
    EXPECT_EQ(processed[1], "TInstallerThread.ProcessMessage: WM_SET_PROXY_CONFIG.");
    EXPECT_EQ(processed[2], "TInstallerThread.ProcessMessage: WM_SET_INSTALL_NAME.");
    EXPECT_EQ(processed[3], "TInstallerThread.ProcessMessage: UNKNOWN (1279).");
    EXPECT_TRUE(log.Contains("WMSetInstallName: casa - casa"));
    EXPECT_EQ(engine->WorkerHost().GetInstallType(), citInstall);
}

TEST_F(InstallerThreadTest, ProxyLineNeverShowsCredentials) {
    engine->SetProxyConfig(TProxySettings{"proxy.local", 3128, "", "user", "secret"});
    engine->SetProxyConfig(TProxySettings{"", 0, "", "", ""});
    Drain();
    auto lines = log.Matching("WMSetProxyConfig:");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "WMSetProxyConfig: Host=proxy.local Port=3128 Scheme= Username=True Password=True");
    EXPECT_EQ(lines[1], "WMSetProxyConfig: Host= Port=0 Scheme= Username=False Password=False");
    EXPECT_EQ(log.Raw().find("secret"), std::string::npos);
    EXPECT_EQ(engine->WorkerHost().GetProxySettings().FHost, "");
}

TEST_F(InstallerThreadTest, ProgressLinesAreThrottledToOneInSeventeen) {
    engine->PostThreadMessage(WM_SET_UNNATENDED_VALUES);
    for (int i = 1; i <= 18; ++i) engine->PostThreadMessage(WM_UPDATE_PROGRESS, i * 100);
    Drain();
    auto lines = log.Matching("WM_UPDATE_PROGRESS");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "TInstallerThread.ProcessMessage: WM_UPDATE_PROGRESS. Total downloaded=100");
    EXPECT_EQ(lines[1], "TInstallerThread.ProcessMessage: WM_UPDATE_PROGRESS. Total downloaded=1800");
}

TEST_F(InstallerThreadTest, FailingHandlerAbortsOnceAndLoopGoesOn) {
    PostFailingMessage();
    PostFailingMessage();
    Drain();
    EXPECT_EQ(log.CountContaining("TInstallerThread.Execute: MessageID=WM_SET_PROXY_CONFIG Except: "), 2u);
    EXPECT_EQ(window.Count(WM_SET_ABORT_MSG), 1u);
    ASSERT_EQ(window.Frames(), std::vector<int>{fiAborted});
    auto abort = window.Messages(WM_SET_ABORT_MSG).front();
    EXPECT_EQ(abort.text, txtUnexpectedError);
    EXPECT_EQ(abort.text2, engine->Identifier());
    EXPECT_TRUE(engine->WorkerHost().bInstallSuspended());
    // The engine still answers after the abort.
    engine->SetUnnatendedValues("b", citUpdate);
    Drain();
    EXPECT_EQ(engine->WorkerHost().GetInstallType(), citUpdate);
}

TEST_F(InstallerThreadTest, WorkerAbortPostsMessagesWithoutSuspending) {
    engine->WorkerHost().AbortUnexpectedError();
    EXPECT_EQ(window.Frames(), std::vector<int>{fiAborted});
    EXPECT_FALSE(engine->WorkerHost().bInstallSuspended());
}

TEST(InstallerThreadStart, AThreadThatCannotStartTellsTheOneWaitingForIt) {
    LogCapture log;
    TempDir dir;
    RecordingTarget window;
    TEngineEnvironment environment = TestEngineEnvironment(
        std::make_shared<TRegistryHiveSqlite>(dir / "hkcu.sqlite", false), dir / "appdata", "http://127.0.0.1:9");
    environment.fnMachineIdHex = []() -> std::string { throw std::runtime_error("no machine identifier"); };
    TInstallerThread engine(window, environment);
    engine.Start();
    EXPECT_THROW(
        {
            try {
                engine.WaitStart();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "no machine identifier");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_TRUE(log.Contains("TInstallerThread.Execute: Except: no machine identifier"));
}

TEST(MessageNames, TableAndUnknownNumbers) {
    EXPECT_EQ(MessageName(1280), "WM_SETUP_STATUS");
    EXPECT_EQ(MessageName(1290), "WM_SETUP_DOWNLOADS");
    EXPECT_EQ(MessageName(1304), "WM_SET_UNNATENDED_VALUES");
    EXPECT_EQ(MessageName(1279), "UNKNOWN (1279)");
    EXPECT_EQ(MessageName(1305), "UNKNOWN (1305)");
    EXPECT_EQ(MessageName(0), "UNKNOWN (0)");
}

}  // namespace
