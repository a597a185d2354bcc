#pragma once
// An installer engine that records what a window asks of it, for the window's
// tests with and without a toolkit.
#include <memory>
#include <string>
#include <vector>

#include "engine/InstallerEngine.h"

struct TEngineLog {
    std::vector<std::string> lstCalls;  // "Start", "SetProxyConfig host:port scheme", "Post WM_...", ...
    std::vector<TMessage> lstPosted;    // the requests posted to the thread, in order
    bool bNewInstall = true;
    std::vector<uint32_t> PostedNumbers() const;
};

class TRecordingEngine : public IInstallerEngine {
public:
    static constexpr const char* strIdentifier = "0011AABB_01-02-03-04";

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
    std::string Identifier() const override { return strIdentifier; }

private:
    std::shared_ptr<TEngineLog> m_Log;
};
