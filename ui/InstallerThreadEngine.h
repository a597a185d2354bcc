#pragma once
#include <memory>

#include "engine/InstallerThread.h"
#include "ui/InstallerEngine.h"

// The window's engine: the installer thread itself.
class TInstallerThreadEngine : public IInstallerEngine {
public:
    TInstallerThreadEngine(IMessageTarget& window, TEngineEnvironment environment);
    void Start() override;
    void WaitStart() override;
    void SetUnnatendedValues(const std::string& name, TCmdInstallType type) override;
    void SetProxyConfig(const TProxySettings& proxy) override;
    void VerifyPreviousInstall() override;
    void VerifyInstallerHasUpdate() override;
    void PostThreadMessage(TMessage msg) override;
    bool IsNewInstall() const override;
    void UndoInstall() override;
    std::string Identifier() const override;

private:
    std::unique_ptr<TInstallerThread> m_InstallerThread;
};
