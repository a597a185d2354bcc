#pragma once
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/PrivateFolder.h"

// The run's private temporary folder, "Corvane_yyyy-mm-dd_hh-nn-ss/" in the
// user's temporary folder. It lives exactly as long as the installer window.
// The TLS library is linked into the program, so nothing has to be unpacked
// into it; it is still made and removed so that the run's footprint is the
// same on every platform.
class TStartupFolder {
public:
    explicit TStartupFolder(std::chrono::system_clock::time_point start);

    // Creates the folder exclusively, never through a link. The temporary
    // folder is shared and the name predictable: when it is taken (by a run
    // killed in the same second, or by a link someone planted) the folder gets
    // an unpredictable suffix, "Corvane_yyyy-mm-dd_hh-nn-ss_XXXXXX/", and Path()
    // names it. A failure is logged ("Installer.DPR: Except: ...") and the run
    // goes on without the folder.
    void Create();
    // Removes the folder that Create made, with everything in it, and nothing
    // else: nothing when Create failed, and nothing when the name no longer
    // holds that very folder (a link put in its place is never followed).
    void Remove();

    const std::string& Path() const { return m_strPath; }
    static std::string StartStamp(std::chrono::system_clock::time_point start);

private:
    std::string FolderName() const;

    std::string m_strPath;
    TPrivateFolder m_Folder;
};
