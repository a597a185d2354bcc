#pragma once
#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "platform/Message.h"
#include "service/ProxySettings.h"

// The installer engine as a window uses it (the Qt window; a window of another
// toolkit uses the same). The real one is the installer thread; tests put a
// recorder in its place. Window thread only.
class IInstallerEngine {
public:
    virtual ~IInstallerEngine() = default;
    virtual void Start() = 0;
    virtual void WaitStart() const = 0;
    virtual void SetUnnatendedValues(const std::string& name, TCmdInstallType type) = 0;
    virtual void SetProxyConfig(const TProxySettings& proxy) = 0;
    virtual void VerifyPreviousInstall() = 0;
    virtual void VerifyInstallerHasUpdate() = 0;
    virtual void PostThreadMessage(TMessage msg) = 0;
    // Direct calls of the close request.
    virtual bool IsNewInstall() const = 0;
    virtual void UndoInstall() = 0;
    // The support code of the aborted frame.
    virtual std::string Identifier() const = 0;
};
