#pragma once
// What the tools that picture or measure a window (the Qt one's and the Win32
// one's) show in it: an idle engine behind it, and the data a frame shows during
// a run, as the engine would post it. Both windows' pictures show the same.
#include <string>
#include <vector>

#include "base/MessageIds.h"
#include "base/Texts.h"
#include "engine/InstallerEngine.h"
#include "platform/Message.h"

class TIdleEngine : public IInstallerEngine {
public:
    static constexpr const char* kIdentifier = "1A2B3C4D_10-12-09-41";

    void Start() override {}
    void WaitStart() const override {}
    void SetUnnatendedValues(const std::string&, TCmdInstallType) override {}
    void SetProxyConfig(const TProxySettings&) override {}
    void VerifyPreviousInstall() override {}
    void VerifyInstallerHasUpdate() override {}
    void PostThreadMessage(TMessage) override {}
    bool IsNewInstall() const override { return true; }
    void UndoInstall() override {}
    std::string Identifier() const override { return kIdentifier; }
};

// The tools' language values in order, and the short names their outputs use.
inline constexpr uint8_t kToolLanguages[] = {lngPortuguese, lngEnglish, lngSpanish};
inline const char* LanguageShortName(uint8_t language) {
    static const char* const kNames[] = {"pt", "en", "es"};
    return language < 3 ? kNames[language] : "xx";
}

// Once the window is made: the installations found, the retry and abort texts.
inline std::vector<TMessage> IdleRunStart() {
    std::vector<TMessage> messages;
    messages.push_back(MakeMessage(WM_SET_INSTALL_LIST));
    messages.back().payload =
        std::vector<std::string>{"OrlaDesk", "OrlaDesk_trading", "OrlaDesk_backtest", "OrlaDesk_demo"};
    messages.push_back(MakeMessage(WM_SET_RETRY_MSG, 0, 0, txtCheckConnection));
    messages.push_back(MakeMessage(WM_SET_ABORT_MSG, 0, 0, txtUnexpectedError, TIdleEngine::kIdentifier));
    return messages;
}

// While the progress frame shows: 420 of 1000, installing.
inline std::vector<TMessage> IdleRunProgress() {
    return {MakeMessage(WM_SET_PROGRESS, 0, 1000), MakeMessage(WM_SET_PROGRESS, 420, 1000),
            MakeMessage(WM_SET_PROGRESS_MSG, 0, 0, txtInstalling)};
}

// The aborted frame's text when a release could not be verified.
inline TMessage IdleRunUnverifiedAbort() {
    return MakeMessage(WM_SET_ABORT_MSG, 0, 0, txtReleaseNotVerified, TIdleEngine::kIdentifier);
}
