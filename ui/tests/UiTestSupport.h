#pragma once
// Doubles and a fixture for the window's tests: an engine that records what the
// window asks of it, message boxes that answer from a script, and a main window
// built with them on the offscreen platform.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "ui/SetupForm.h"

// Test classes register themselves; main runs them all.
void RegisterUiTest(std::function<std::unique_ptr<QObject>()> factory);
#define VX_UI_TEST(Class)                                                                              \
    static const bool Class##_registered = [] {                                                          \
        RegisterUiTest([] { return std::unique_ptr<QObject>(new Class); });                             \
        return true;                                                                                     \
    }()

struct TEngineLog {
    std::vector<std::string> lstCalls;  // "Start", "SetProxyConfig host:port scheme", "Post WM_...", ...
    std::vector<TMessage> lstPosted;    // the requests posted to the thread, in order
    bool bNewInstall = true;
    std::vector<uint32_t> PostedNumbers() const;
};

class TRecordingEngine : public IInstallerEngine {
public:
    explicit TRecordingEngine(std::shared_ptr<TEngineLog> log) : m_Log(std::move(log)) {}
    void Start() override { m_Log->lstCalls.push_back("Start"); }
    void WaitStart() const override { m_Log->lstCalls.push_back("WaitStart"); }
    void SetUnnatendedValues(const std::string& name, TCmdInstallType type) override;
    void SetProxyConfig(const TProxySettings& proxy) override;
    void VerifyPreviousInstall() override { m_Log->lstCalls.push_back("VerifyPreviousInstall"); }
    void VerifyInstallerHasUpdate() override { m_Log->lstCalls.push_back("VerifyInstallerHasUpdate"); }
    void PostThreadMessage(TMessage msg) override;
    bool IsNewInstall() const override { return m_Log->bNewInstall; }
    void UndoInstall() override { m_Log->lstCalls.push_back("UndoInstall"); }
    std::string Identifier() const override { return "0011AABB_01-02-03-04"; }

private:
    std::shared_ptr<TEngineLog> m_Log;
};

class TScriptedPrompts : public IUserPrompts {
public:
    struct TShown {
        std::string strKind;  // "question", "info", "error"
        std::string strCaption;
        std::string strText;
    };
    std::vector<TShown> lstShown;
    bool bAnswerYes = false;

    bool AskYesNo(QWidget*, const std::string& caption, const std::string& text) override {
        lstShown.push_back({"question", caption, text});
        return bAnswerYes;
    }
    void ShowInfo(QWidget*, const std::string& caption, const std::string& text) override {
        lstShown.push_back({"info", caption, text});
    }
    void ShowError(QWidget*, const std::string& caption, const std::string& text) override {
        lstShown.push_back({"error", caption, text});
    }
};

// A main window over the doubles. The language value is set before the window
// is made and put back (with the name-frame texts) when the fixture goes.
struct TWindowFixture {
    explicit TWindowFixture(uint8_t language = lngPortuguese, std::vector<std::string> args = {"OrlaDesk"});
    ~TWindowFixture();

    // Delivers a message as the engine would post it, and processes it.
    void Deliver(TMessage msg);
    void Deliver(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0, std::string text = {},
                 std::string text2 = {});
    void DeliverInstallList(std::vector<std::string> keys);

    std::shared_ptr<TEngineLog> log = std::make_shared<TEngineLog>();
    std::shared_ptr<TScriptedPrompts> prompts = std::make_shared<TScriptedPrompts>();
    std::vector<std::string> lstOpened;
    int nQuits = 0;
    bool bSystemProxy = false;
    std::string strSystemHost = "proxy.example", strSystemPort = "8080";
    std::function<int(QDialog&)> fnDialog = [](QDialog&) { return int(QDialog::Rejected); };
    std::unique_ptr<TSetupForm> form;
    bool bCreated = false;

    TSetupFormServices Services(const QString& picturePrefix = QStringLiteral(":/pictures/"));
};

// Puts the process-wide name-frame texts back to Portuguese.
void ResetNameFrameTexts();
