#include "ui/tools/IdleWindow.h"

#include <QCoreApplication>

#include "base/MessageIds.h"
#include "base/Texts.h"
#include "ui/Fonts.h"
#include "ui/Pictures.h"
#include "wizard/tools/IdleRun.h"

namespace {

void Feed(TSetupForm& form, TMessage msg) {
    form.Post(std::move(msg));
    QCoreApplication::processEvents();
}

}  // namespace

void PrepareToolApplication() {
    LoadStandInFonts();
    InitPictureResources();
}

std::unique_ptr<TSetupForm> NewIdleWindow(uint8_t language) {
    SetLanguage(language);
    TranslateEngineTexts(language);
    TSetupFormServices services;
    services.fnCreateEngine = [](IMessageTarget&) { return std::make_unique<TIdleEngine>(); };
    services.fnSystemProxy = [](std::string&, std::string&) { return false; };
    auto form = std::make_unique<TSetupForm>(TCommandLine({"OrlaDesk"}), services);
    if (!form->FormCreate()) return nullptr;
    form->show();

    for (TMessage& msg : IdleRunStart()) Feed(*form, std::move(msg));
    return form;
}

void ShowFrame(TSetupForm& form, int frame) {
    form.SetVisibleFrame(frame);
    if (frame == fiProgress)
        for (TMessage& msg : IdleRunProgress()) Feed(form, std::move(msg));
    QCoreApplication::processEvents();
}

void ShowUnverifiedAbort(TSetupForm& form) {
    Feed(form, IdleRunUnverifiedAbort());
    ShowFrame(form, fiAborted);
}
