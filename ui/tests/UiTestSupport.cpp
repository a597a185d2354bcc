#include "UiTestSupport.h"

#include <QCoreApplication>

#include "base/MessageIds.h"

void ResetNameFrameTexts() {
    txtNamePlaceholder = FrameText(TFrameTextKey::NamePlaceholder, lngPortuguese);
    txtFillName = FrameText(TFrameTextKey::FillName, lngPortuguese);
    txtNoSpaces = FrameText(TFrameTextKey::NoSpaces, lngPortuguese);
    txtNameUsed = FrameText(TFrameTextKey::NameUsed, lngPortuguese);
}

TSetupFormServices TWindowFixture::Services(const QString& picturePrefix) {
    TSetupFormServices services;
    auto engineLog = log;
    services.fnCreateEngine = [engineLog](IMessageTarget&) { return std::make_unique<TRecordingEngine>(engineLog); };
    services.prompts = prompts;
    services.fnShellOpen = [this](const std::string& target) {
        lstOpened.push_back(target);
        return true;
    };
    services.fnMachineId = [] { return std::string("C0FFEE42"); };
    services.fnSystemProxy = [this](std::string& host, std::string& port) {
        host.clear();
        port.clear();
        if (!bSystemProxy) return false;
        host = strSystemHost;
        port = strSystemPort;
        return true;
    };
    services.fnExecDialog = [this](QDialog& dialog) { return fnDialog(dialog); };
    services.fnQuit = [this] { ++nQuits; };
    services.strPicturePrefix = picturePrefix;
    return services;
}

TWindowFixture::TWindowFixture(uint8_t language, std::vector<std::string> args) {
    SetLanguage(language);
    ResetNameFrameTexts();
    form = std::make_unique<TSetupForm>(TCommandLine(std::move(args)), Services());
    bCreated = form->FormCreate();
}

TWindowFixture::~TWindowFixture() {
    form.reset();
    SetLanguage(lngPortuguese);
    ResetNameFrameTexts();
}

void TWindowFixture::Deliver(TMessage msg) {
    form->Post(std::move(msg));
    QCoreApplication::sendPostedEvents(form.get());
}

void TWindowFixture::Deliver(uint32_t message, uint64_t wParam, int64_t lParam, std::string text, std::string text2) {
    Deliver(MakeMessage(message, wParam, lParam, std::move(text), std::move(text2)));
}

void TWindowFixture::DeliverInstallList(std::vector<std::string> keys) {
    TMessage msg = MakeMessage(WM_SET_INSTALL_LIST);
    msg.payload = std::move(keys);
    Deliver(std::move(msg));
}
