#pragma once
// Doubles and a fixture for the window's tests: message boxes that answer from
// a script, and a main window built with them and the recording engine on the
// offscreen platform.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "support/RecordingEngine.h"
#include "ui/SetupForm.h"

// Test classes register themselves; main runs them all.
void RegisterUiTest(std::function<std::unique_ptr<QObject>()> factory);
#define VX_UI_TEST(Class)                                                                              \
    static const bool Class##_registered = [] {                                                          \
        RegisterUiTest([] { return std::unique_ptr<QObject>(new Class); });                             \
        return true;                                                                                     \
    }()

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
