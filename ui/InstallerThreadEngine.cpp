#include "ui/InstallerThreadEngine.h"

TInstallerThreadEngine::TInstallerThreadEngine(IMessageTarget& window, TEngineEnvironment environment)
    : m_InstallerThread(std::make_unique<TInstallerThread>(window, std::move(environment))) {}

void TInstallerThreadEngine::Start() { m_InstallerThread->Start(); }
void TInstallerThreadEngine::WaitStart() { m_InstallerThread->WaitStart(); }
void TInstallerThreadEngine::SetUnnatendedValues(const std::string& name, TCmdInstallType type) {
    m_InstallerThread->SetUnnatendedValues(name, type);
}
void TInstallerThreadEngine::SetProxyConfig(const TProxySettings& proxy) { m_InstallerThread->SetProxyConfig(proxy); }
void TInstallerThreadEngine::VerifyPreviousInstall() { m_InstallerThread->VerifyPreviousInstall(); }
void TInstallerThreadEngine::VerifyInstallerHasUpdate() { m_InstallerThread->VerifyInstallerHasUpdate(); }
void TInstallerThreadEngine::PostThreadMessage(TMessage msg) { m_InstallerThread->PostThreadMessage(std::move(msg)); }
bool TInstallerThreadEngine::IsNewInstall() const { return m_InstallerThread->IsNewInstall(); }
void TInstallerThreadEngine::UndoInstall() { m_InstallerThread->UndoInstall(); }
std::string TInstallerThreadEngine::Identifier() const { return m_InstallerThread->Identifier(); }
