#pragma once
#include <exception>
#include <string>

#include "engine/DownloadRun.h"
#include "engine/InstallationTarget.h"
#include "engine/PlacementFileSystem.h"
#include "engine/Registration.h"
#include "platform/MessageTarget.h"
#include "platform/RegistryHive.h"

// The last steps of a run whose files all arrived: a new installation's
// folder is flushed and put in place, then the installation is registered and
// its shortcuts made. The window is told how it ended; an unattended run ends
// here with its exit code.
//
// Threads: the engine thread, once the run's workers have stopped.
class TInstallationFinish {
public:
    TInstallationFinish(IPlacementFileSystem& placementFs, IRegistryHive& hkcu, const TInstallationTarget& target,
                        TDownloadRun& run, IMessageTarget& window)
        : m_PlacementFs(placementFs), m_Hkcu(hkcu), m_Target(target), m_Run(run), m_Window(window) {}

    void Complete();

private:
    void PlaceNewInstallation();
    void FlushUnpackedFiles();
    void WriteRegistry();
    void CreateShortcuts();
    void RegistrationFailed(const std::string& where, const std::exception& e);
    TRegistrationRequest RegistrationRequest() const;

    IPlacementFileSystem& m_PlacementFs;
    IRegistryHive& m_Hkcu;
    const TInstallationTarget& m_Target;
    TDownloadRun& m_Run;
    IMessageTarget& m_Window;
};
