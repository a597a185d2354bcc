#include "base/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "base/InstallationName.h"

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool IsModeWord(const std::string& lower) { return lower == "/install" || lower == "/update" || lower == "/repair"; }

TCmdInstallType ModeOf(const std::string& word) {
    if (word == "/install") return citInstall;
    if (word == "/update") return citUpdate;
    return citNone;
}

}  // namespace

TCommandLine::TCommandLine(std::vector<std::string> words) : m_lstWords(std::move(words)) {}

bool TCommandLine::ArgumentsValid() const {
    switch (ArgumentCount()) {
        case 0:
            return true;
        case 1: {
            std::string first = Lower(m_lstWords[1]);
            return first == "/st" || IsModeWord(first);
        }
        case 2: {
            const std::string& name = m_lstWords[2];
            return IsModeWord(Lower(m_lstWords[1])) && !name.empty() && name.find(' ') == std::string::npos &&
                   IsSafeInstallationName(name);
        }
        default:
            return false;
    }
}

bool TCommandLine::ShowHelp() const {
    if (!ArgumentsValid()) return true;
    return std::find(m_lstWords.begin(), m_lstWords.end(), "/?") != m_lstWords.end();
}

TCmdInstallType TCommandLine::InstallType() const {
    size_t count = ArgumentCount();
    return (count == 1 || count == 2) ? ModeOf(m_lstWords[1]) : citNone;
}

std::string TCommandLine::Name() const { return ArgumentCount() == 2 ? m_lstWords[2] : std::string(); }

bool TCommandLine::SingleThreaded() const {
    return std::find(m_lstWords.begin(), m_lstWords.end(), "/st") != m_lstWords.end();
}
