#pragma once
#include <chrono>
#include <filesystem>
#include <string>

// The run's private temporary folder, "Corvane_yyyy-mm-dd_hh-nn-ss/" in the
// user's temporary folder. It lives exactly as long as the installer window.
// The TLS library is linked into the program, so nothing has to be unpacked
// into it; it is still made and removed so that the run's footprint is the
// same on every platform.
class TStartupFolder {
public:
    explicit TStartupFolder(std::chrono::system_clock::time_point start);

    // Creates the folder; an existing folder is an error. A failure is logged
    // ("Installer.DPR: Except: ...") and the run goes on.
    void Create();
    // Removes the folder with everything in it; the result is not used.
    void Remove();

    const std::string& Path() const { return m_strPath; }
    static std::string StartStamp(std::chrono::system_clock::time_point start);

private:
    std::string m_strPath;
};
