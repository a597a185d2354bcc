#include "WinTestSupport.h"

#include "base/ExitCode.h"
#include "base/Texts.h"
#include "winui/GdiPlusSession.h"
#include "winui/WinFonts.h"
#include "winui/WindowClass.h"

namespace {

// GDI+ and the stand-in fonts for the whole test program, as the window's
// start-up provides them.
class TWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_GdiPlus = std::make_unique<TGdiPlusSession>();
        TWinFonts::LoadStandIns();
    }
    void TearDown() override { m_GdiPlus.reset(); }

private:
    std::unique_ptr<TGdiPlusSession> m_GdiPlus;
};

[[maybe_unused]] auto* const g_Environment = ::testing::AddGlobalTestEnvironment(new TWindowEnvironment);

}  // namespace

bool TScriptedPrompts::AskYesNo(HWND, const std::string& caption, const std::string& text) {
    lstShown.push_back("question: " + caption + ": " + text);
    if (lstAnswers.empty()) return false;
    const bool answer = lstAnswers.front();
    lstAnswers.erase(lstAnswers.begin());
    return answer;
}

void TScriptedPrompts::ShowInfo(HWND, const std::string& caption, const std::string& text) {
    lstShown.push_back("info: " + caption + ": " + text);
}

void TScriptedPrompts::ShowError(HWND, const std::string& caption, const std::string& text) {
    lstShown.push_back("error: " + caption + ": " + text);
}

void PumpMessages() {
    // A message handled may post another.
    ProcessPendingMessages();
    ProcessPendingMessages();
}

void ClickWindow(HWND control) {
    RECT client;
    GetClientRect(control, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    SendMessageW(control, WM_MOUSEMOVE, 0, middle);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageW(control, WM_LBUTTONUP, 0, middle);
    PumpMessages();
}

void TWinFormTest::TearDown() {
    m_Form.reset();
    PumpMessages();
    SetLanguage(lngPortuguese);
    TranslateEngineTexts(lngPortuguese);
    TranslateNameFrameTexts(lngPortuguese);
    SetExitCode(0);
}

TWinSetupForm& TWinFormTest::MakeForm(std::vector<std::string> commandLine) {
    TWinSetupFormServices services;
    services.fnCreateEngine = [this](IMessageTarget&) { return std::make_unique<TRecordingEngine>(m_Log); };
    services.prompts = m_Prompts;
    services.fnShellOpen = [this](const std::string& address) {
        m_lstOpened.push_back(address);
        return true;
    };
    services.fnMachineId = [] { return std::string("0123456789ABCDEF"); };
    services.fnSystemProxy = [](std::string&, std::string&) { return false; };
    services.fnRunDialog = [this](TWinInternetConfig&, HWND) { return m_bDialogAnswer; };
    services.fnQuit = [this] { ++m_nQuits; };
    m_Form = std::make_unique<TWinSetupForm>(TCommandLine(std::move(commandLine)), services);
    EXPECT_TRUE(m_Form->FormCreate());
    ShowWindow(m_Form->Handle(), SW_SHOW);
    PumpMessages();
    return *m_Form;
}

void TWinFormTest::Feed(TMessage msg) {
    m_Form->Post(std::move(msg));
    PumpMessages();
}

void TWinFormTest::Feed(uint32_t number, uint64_t wParam, int64_t lParam, std::string text, std::string text2) {
    Feed(MakeMessage(number, wParam, lParam, std::move(text), std::move(text2)));
}

void TWinFormTest::FeedInstalls(std::vector<std::string> installs) {
    TMessage list = MakeMessage(WM_SET_INSTALL_LIST);
    list.payload = std::move(installs);
    Feed(std::move(list));
}
