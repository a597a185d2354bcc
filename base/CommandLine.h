#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The command-line mode of a run: interactive, or an unattended install/update.
enum TCmdInstallType : uint8_t { citNone = 0, citInstall = 1, citUpdate = 2 };

// The words of the command line, the program's own path being word 0.
class TCommandLine {
public:
    explicit TCommandLine(std::vector<std::string> words);

    // Accepted forms: none; one of /st /install /update /repair (any letter
    // case); /install, /update or /repair followed by a non-empty name without
    // a blank that IsSafeInstallationName accepts. Anything else is invalid.
    bool ArgumentsValid() const;
    // Help is shown for an invalid command line, or when any word is exactly "/?".
    bool ShowHelp() const;
    // The mode rule of the window: exact, case-sensitive comparisons, so
    // "/INSTALL" passes the check but runs the interactive wizard.
    TCmdInstallType InstallType() const;
    std::string Name() const;
    // Whether some word, from word 0 on, is exactly "/st".
    bool SingleThreaded() const;

    const std::vector<std::string>& Words() const { return m_lstWords; }
    size_t ArgumentCount() const { return m_lstWords.empty() ? 0 : m_lstWords.size() - 1; }

private:
    std::vector<std::string> m_lstWords;
};
