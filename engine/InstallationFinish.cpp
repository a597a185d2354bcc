#include "engine/InstallationFinish.h"

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "engine/FilePlacement.h"
#include "platform/FileSystem.h"
#include "workers/RetryPolicy.h"

void TInstallationFinish::Complete() {
    if (m_Run.IsNewInstall())
        PlaceNewInstallation();
    else
        AppendLog("TInstallerThread.WMUpdateProgress : Reparation Path=" + m_Run.InstallPath());
    WriteRegistry();
}

// The user is not told of a failed move: registration follows in every case.
// A refused folder is no failed move: it throws, and the run ends aborted.
void TInstallationFinish::PlaceNewInstallation() {
    FlushUnpackedFiles();
    TFilePlacement placement(m_PlacementFs, m_Target.CompanyFolder());
    auto result = placement.PlaceNewInstallation(m_Run.TempDownloadPath(), m_Run.InstallPath());
    if (result.bOk) return;
    TExceptionObject::SilentException(result.strErrorText.empty()
                                          ? std::string("Erro desconhecido ao tentar mover arquivos temporários.")
                                          : result.strErrorText);
}

// The extract workers leave the flush of a new installation's files to this
// one call, which costs far less than a flush per file. A disk that reports a
// write error here is reported; the files are placed all the same, as they
// would be after a flush error that no one saw.
void TInstallationFinish::FlushUnpackedFiles() {
    std::error_code ec;
    if (FlushFileSystem(m_Run.TempDownloadPath(), ec)) return;
    const std::string text =
        "TInstallerThread.FlushUnpackedFiles: Path=" + m_Run.TempDownloadPath() + " Error=" + ec.message();
    AppendLog(text);
    TExceptionObject::SilentException(text);
}

TRegistrationRequest TInstallationFinish::RegistrationRequest() const {
    TRegistrationRequest request;
    request.strInstallPath = m_Run.InstallPath();
    request.strRegFolderName = m_Target.RegFolderName();
    request.strInstallName = m_Target.Name();
    request.bNewInstall = m_Run.IsNewInstall();
    return request;
}

void TInstallationFinish::WriteRegistry() {
    m_Window.PostText(WM_SET_PROGRESS_MSG, FinishingStatusText(GetLanguage()));
    TRegistration registration(m_Hkcu);
    try {
        registration.WriteRegistry(RegistrationRequest());
    } catch (const std::exception& e) {
        return RegistrationFailed("TInstallerThread.WriteRegistry: Exception=", e);
    }
    CreateShortcuts();
}

void TInstallationFinish::CreateShortcuts() {
    TRegistration registration(m_Hkcu);
    try {
        registration.CreateShortcuts(RegistrationRequest());
    } catch (const std::exception& e) {
        return RegistrationFailed("TInstallerThread.CreateShortcuts: Exception=", e);
    }
    if (m_Run.GetInstallType() != citNone) return TRetryPolicy::EndUnattended(m_Window, ecSuccess);
    m_Window.Post(WM_CHANGE_VISIBLE_FRAME, fiInstallDone);
}

void TInstallationFinish::RegistrationFailed(const std::string& where, const std::exception& e) {
    AppendLog(where + e.what());
    if (m_Run.GetInstallType() != citNone) return TRetryPolicy::EndUnattended(m_Window, ecUnexpected);
    TExceptionObject::SilentException(e);
    m_Window.PostText(WM_SET_ERROR_MESSAGE, txtUnexpectedError);
    m_Window.Post(WM_SETUP_STATUS, nSetupStatusRegistrationFailed);
}
