// The Win32 window's wiring: its buttons, links, keys and boxes carry out the
// wizard's steps; the engine's messages reach the frames; the close picture
// asks where it must; the layout scales with the monitor. The decisions
// themselves are the shared logic's, tested with it.
#include <algorithm>

#include "WinTestSupport.h"
#include "base/Edition.h"
#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/Texts.h"
#include "platform/windows/WideString.h"
#include "winui/WinCloseButton.h"
#include "winui/WinFrameAborted.h"
#include "winui/WinFrameCreateInstall.h"
#include "winui/WinFrameInstall.h"
#include "winui/WinFrameInstallDone.h"
#include "winui/WinFrameInstallUpdate.h"
#include "winui/WinFrameProgress.h"
#include "winui/WinFrameRetry.h"
#include "winui/WinFrameSelectInstall.h"
#include "winui/WinFrameUpdateInstaller.h"

namespace {

std::string Text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return Narrow(text);
}

RECT DeviceRect(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = Narrow(static_cast<const wchar_t*>(GlobalLock(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetControlKey(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

class WinSetupFormTest : public TWinFormTest {};

// Each frame's button, clicked as the mouse does, moves the wizard as the
// shared logic decides: the frame that follows and the requests, in order.
TEST_F(WinSetupFormTest, ButtonsOfEachFrameTakeTheirStep) {
    struct TCase {
        const char* name;
        int frame;
        std::function<TWinGradientButton*(TWinSetupForm&)> button;
        bool installsFound;
        int nextFrame;
        std::vector<uint32_t> requests;
    };
    const TCase cases[] = {
        {"install", fiInstall, [](TWinSetupForm& f) { return f.m_FrameInstall->btnInstall; }, false, fiProgress,
         {WM_SET_NEW_INSTALL, WM_SETUP_DOWNLOADS}},
        {"new beside others", fiInstallUpdate, [](TWinSetupForm& f) { return f.m_FrameInstallUpdate->btnInstall; },
         true, fiCreateInstall, {WM_SET_NEW_INSTALL}},
        {"repair one of several", fiInstallUpdate,
         [](TWinSetupForm& f) { return f.m_FrameInstallUpdate->btnUpdate; }, true, fiSelectInstall, {}},
        {"retry", fiRetry, [](TWinSetupForm& f) { return f.m_FrameRetry->btnRetry; }, false, fiProgress, {WM_RETRY}},
        {"open", fiInstallDone, [](TWinSetupForm& f) { return f.m_FrameInstallDone->btnOpen; }, false,
         fiInstallDone, {WM_RUN_VANTIX}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_Log = std::make_shared<TEngineLog>();
        TWinSetupForm& form = MakeForm();
        if (c.installsFound) FeedInstalls({"OrlaDesk", "OrlaDesk_demo"});
        Feed(WM_CHANGE_VISIBLE_FRAME, static_cast<uint64_t>(c.frame));
        ASSERT_EQ(form.VisibleFrame(), c.frame);
        ClickWindow(c.button(form)->Handle());
        EXPECT_EQ(form.VisibleFrame(), c.nextFrame);
        EXPECT_EQ(m_Log->PostedNumbers(), c.requests);
    }
}

TEST_F(WinSetupFormTest, EndingButtonsQuitOrOpenTheNewInstaller) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiAborted);
    ClickWindow(form.m_FrameAborted->btnOK->Handle());
    EXPECT_EQ(m_nQuits, 1);
    form.ShowFrame(fiUpdateInstaller);
    ClickWindow(form.m_FrameUpdateInstaller->btnUpdate->Handle());
    ASSERT_EQ(m_lstOpened.size(), 1u);
    EXPECT_NE(m_lstOpened[0].find(".exe"), std::string::npos) << m_lstOpened[0];
    EXPECT_EQ(m_nQuits, 2);
}

TEST_F(WinSetupFormTest, EngineMessagesReachTheirFrames) {
    TWinSetupForm& form = MakeForm();
    Feed(WM_CHANGE_VISIBLE_FRAME, 261, 0, "Baixando...");  // low byte 5, with a starting text
    EXPECT_EQ(form.VisibleFrame(), fiProgress);
    EXPECT_EQ(Text(form.m_FrameProgress->lblProgress->Handle()), "Baixando...");
    Feed(WM_SET_PROGRESS, 0, 1000);
    Feed(WM_SET_PROGRESS, 420, 1000);
    Feed(WM_SET_PROGRESS_MSG, 0, 0, "Instalando...");
    EXPECT_EQ(form.m_FrameProgress->pbProgressBar->Figures().Progress(), 420);
    EXPECT_EQ(form.m_FrameProgress->pbProgressBar->Figures().Max(), 1000);
    EXPECT_EQ(Text(form.m_FrameProgress->lblProgress->Handle()), "Instalando...");

    Feed(WM_SET_RETRY_MSG, 0, 0, "Verifique sua conexão.");
    Feed(WM_SET_ABORT_MSG, 0, 0, "Erro.", "0011AABB_01-02-03-04");
    EXPECT_EQ(form.VisibleFrame(), fiProgress) << "data alone changes no frame";
    EXPECT_EQ(Text(form.m_FrameRetry->lblAlert->Handle()), "Verifique sua conexão.");
    EXPECT_EQ(form.m_FrameAborted->edtHardwareID->Text(), "0011AABB_01-02-03-04");

    Feed(WM_CHANGE_VISIBLE_FRAME, 10);
    EXPECT_EQ(form.VisibleFrame(), nNoFrame);
}

TEST_F(WinSetupFormTest, ClosePictureAsksOnlyWhileSomethingRuns) {
    TWinSetupForm& form = MakeForm();
    Feed(WM_CHANGE_VISIBLE_FRAME, fiProgress);
    ClickWindow(form.m_FrameProgress->CloseButton().Handle());
    ASSERT_EQ(m_Prompts->lstShown.size(), 1u);
    EXPECT_EQ(m_Prompts->lstShown[0], "question: Cancelar: Deseja cancelar a instalação?");
    EXPECT_EQ(m_nQuits, 0) << "No keeps the run";
    EXPECT_TRUE(IsWindowVisible(form.Handle()));

    m_Prompts->lstAnswers = {true};
    ClickWindow(form.m_FrameProgress->CloseButton().Handle());
    EXPECT_EQ(std::count(m_Log->lstCalls.begin(), m_Log->lstCalls.end(), "UndoInstall"), 1) << "Yes undoes the new installation";
    EXPECT_EQ(m_nQuits, 1);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));

    m_Form.reset();
    m_Prompts->lstShown.clear();
    TWinSetupForm& done = MakeForm();
    Feed(WM_CHANGE_VISIBLE_FRAME, fiInstallDone);
    ClickWindow(done.m_FrameInstallDone->CloseButton().Handle());
    EXPECT_TRUE(m_Prompts->lstShown.empty()) << "the done frame closes without a question";
    EXPECT_EQ(m_nQuits, 2);
}

TEST_F(WinSetupFormTest, ClosePictureShowsItsThreeStatesAndHidesInUnattendedRuns) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiInstall);
    TWinCloseButton& close = form.m_FrameInstall->CloseButton();
    EXPECT_EQ(close.Current(), form.Pictures().pngClose);
    SendMessageW(close.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(close.Current(), form.Pictures().pngCloseOver);
    SendMessageW(close.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(close.Current(), form.Pictures().pngCloseClick);
    SendMessageW(close.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(-5, -5));  // released outside: no close
    EXPECT_TRUE(m_Prompts->lstShown.empty());

    m_Form.reset();
    TWinSetupForm& unattended = MakeForm({"OrlaDesk", "/install"});
    for (const TWizardFrame& row : TWizardFrames::lstFrames)
        EXPECT_EQ(unattended.Frame(row.index)->CloseButton().Visible(), !row.bHidesCloseInCommandLine) << row.name;
}

TEST_F(WinSetupFormTest, ButtonIsAnOutlineUntilTheMouseIsOverIt) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiInstall);
    TWinGradientButton* button = form.m_FrameInstall->btnInstall;
    EXPECT_FALSE(button->Face().bFilled);
    EXPECT_EQ(button->Face().clCaption, (TRgb{255, 255, 255})) << "white on the dark background";
    SendMessageW(button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(button->Face().bFilled);
    EXPECT_EQ(button->Face().clCaption, (TRgb{0, 0, 0}));
    SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(button->Face().clFill, (TRgb{215, 159, 0})) << "40 darker while pressed";
}

TEST_F(WinSetupFormTest, LinksOpenTheLicenceAndTheInternetSettings) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiInstall);
    TWinLabel* link = form.m_FrameInstall->Sentence.lblLink;
    SendMessageW(link->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(link->Font().bUnderline);
    EXPECT_TRUE(link->Font().bBold);
    SendMessageW(link->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(link->Font().bUnderline);
    ClickWindow(link->Handle());
    EXPECT_EQ(m_lstOpened, std::vector<std::string>{edition::strContractUrl()});

    m_bDialogAnswer = true;
    ClickWindow(form.m_FrameInstall->lblConfigInternet->Handle());
    EXPECT_EQ(m_Log->lstCalls.back().rfind("SetProxyConfig", 0), 0u) << "OK hands the choice to the engine";
    m_bDialogAnswer = false;
    const size_t calls = m_Log->lstCalls.size();
    ClickWindow(form.m_FrameInstall->lblConfigInternet->Handle());
    EXPECT_EQ(m_Log->lstCalls.size(), calls) << "Cancel changes nothing";
}

TEST_F(WinSetupFormTest, NameFrameClearsItsPlaceholderChecksTheNameAndTakesEnter) {
    SetLanguage(lngEnglish);
    TWinSetupForm& form = MakeForm();
    FeedInstalls({"OrlaDesk", "OrlaDesk_demo"});
    form.ShowFrame(fiCreateInstall);
    TWinNative* name = form.m_FrameCreateInstall->edtNome;
    ASSERT_EQ(name->Text(), txtNamePlaceholder);
    SendMessageW(name->Handle(), WM_KEYUP, VK_RETURN, 0);
    ASSERT_EQ(m_Prompts->lstShown.size(), 1u);
    EXPECT_EQ(m_Prompts->lstShown[0], std::string("info: ") + edition::strWindowCaption + ": " + txtFillName);

    SetFocus(name->Handle());
    PumpMessages();
    EXPECT_EQ(name->Text(), "") << "focus empties the placeholder";
    name->SetText("demo");
    SendMessageW(name->Handle(), WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(m_Prompts->lstShown.size(), 2u) << "a name in use is refused";
    EXPECT_EQ(form.VisibleFrame(), fiCreateInstall);

    name->SetText("desk2");
    SendMessageW(name->Handle(), WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(form.VisibleFrame(), fiProgress);
    ASSERT_EQ(m_Log->PostedNumbers(), (std::vector<uint32_t>{WM_SET_INSTALL_NAME, WM_SETUP_DOWNLOADS}));
    EXPECT_EQ(m_Log->lstPosted[0].text, "desk2");
}

TEST_F(WinSetupFormTest, ChoicesAreTakenByTheirButtonOrToggledByTheirLabel) {
    TWinSetupForm& form = MakeForm();
    FeedInstalls({"OrlaDesk", "OrlaDesk_trading", "OrlaDesk_demo"});
    form.ShowFrame(fiSelectInstall);
    TWinFrameSelectInstall& frame = *form.m_FrameSelectInstall;
    ASSERT_EQ(frame.m_lstLabel.size(), 3u);
    EXPECT_EQ(Text(frame.m_lstLabel[1]->Handle()), "trading");
    auto checked = [&frame](size_t i) {
        return SendMessageW(frame.m_lstRadio[i]->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    ClickWindow(frame.m_lstLabel[2]->Handle());
    EXPECT_TRUE(checked(2));
    ClickWindow(frame.m_lstLabel[2]->Handle());
    EXPECT_FALSE(checked(2)) << "a second click on the label lets go";
    SendMessageW(frame.m_lstRadio[1]->Handle(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_TRUE(checked(1));
    EXPECT_FALSE(checked(2));

    SendMessageW(frame.m_lstRadio[1]->Handle(), WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(form.VisibleFrame(), fiProgress);
    ASSERT_EQ(m_Log->PostedNumbers(),
              (std::vector<uint32_t>{WM_SET_INSTALL_NAME, WM_SET_UPDATE_ONLY, WM_SETUP_DOWNLOADS}));
    EXPECT_EQ(m_Log->lstPosted[0].text, "trading");

    FeedInstalls({});
    EXPECT_TRUE(frame.m_lstRadio.empty()) << "an empty list leaves no choices";
}

TEST_F(WinSetupFormTest, ControlCCopiesTheMachineIdWhereverTheFocusIs) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiCreateInstall);
    HWND box = form.m_FrameCreateInstall->edtNome->Handle();
    SetFocus(box);
    MSG key{box, WM_KEYDOWN, 'C', 0, 0, {}};
    SetControlKey(false);
    form.PreviewKey(key);
    EXPECT_NE(ClipboardText(), "0123456789ABCDEF") << "C alone copies nothing";
    SetControlKey(true);
    form.PreviewKey(key);
    SetControlKey(false);
    EXPECT_EQ(ClipboardText(), "0123456789ABCDEF");
}

TEST_F(WinSetupFormTest, LayoutScalesWithTheMonitor) {
    TWinSetupForm& form = MakeForm();
    form.ShowFrame(fiInstall);
    const TRect logical = form.m_FrameInstall->btnInstall->Logical();
    form.ChangeDpi(144);
    RECT window;
    GetClientRect(form.Handle(), &window);
    EXPECT_EQ(window.right, 900);
    EXPECT_EQ(window.bottom, 375);
    const RECT button = DeviceRect(form.m_FrameInstall->btnInstall->Handle());
    EXPECT_EQ(button.left, logical.x * 3 / 2);
    EXPECT_EQ(button.right - button.left, 180);
    EXPECT_EQ(form.m_FrameInstall->btnInstall->Logical(), logical) << "the 96-dpi layout stays";
    form.ShowFrame(fiInstall);
    EXPECT_NEAR(form.m_FrameInstall->btnInstall->Logical().y, logical.y, 0) << "a new showing lays out alike";
}

}  // namespace
