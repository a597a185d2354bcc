// Splits the input at NUL bytes into command-line words (which is all argv can
// carry) after the program's own path, and checks the rules of the command line
// as properties: the check ignores letter case and takes at most two
// arguments, help follows the check and "/?", the unattended modes come only
// from exact words, and a name that passes the check cannot lead the
// installation folder out of the company folder.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/CommandLine.h"

namespace {

constexpr size_t kMaxWords = 6;

[[noreturn]] void Fault(const std::string& what) {
    std::fprintf(stderr, "command line fuzzer: %s\n", what.c_str());
    std::abort();
}

std::vector<std::string> Words(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"OrlaDesk"};
    std::string word;
    for (size_t i = 0; i < size && words.size() < kMaxWords; ++i) {
        if (data[i] != 0) {
            word.push_back(static_cast<char>(data[i]));
            continue;
        }
        words.push_back(word);
        word.clear();
    }
    if (words.size() < kMaxWords && size > 0) words.push_back(word);
    return words;
}

bool HasWord(const std::vector<std::string>& words, const char* wanted) {
    return std::find(words.begin(), words.end(), wanted) != words.end();
}

std::string SwapAsciiCase(std::string word) {
    for (char& c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 128 && std::isalpha(u)) c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
    }
    return word;
}

void Require(bool condition, const std::string& rule, const std::vector<std::string>& words) {
    if (condition) return;
    std::string shown;
    for (const auto& w : words) shown += " [" + w + "]";
    Fault(rule + ":" + shown);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The name ends up in "<company>/<product>_<name>/" and in the registry key of
// the same name. Separators in it are allowed ("/install /st" installs under
// the name "/st"), but nothing may climb out of the company folder, with
// either separator, as Windows reads both.
bool StaysInCompanyFolder(const std::string& name) {
    const std::string folder = "OrlaDesk_" + name;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = start;
        while (end < folder.size() && !IsSeparator(folder[end])) ++end;
        if (folder.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

// Only a name that reaches the engine matters: with help shown it is unused.
void CheckName(const TCommandLine& cmd, const std::vector<std::string>& words) {
    const std::string name = cmd.Name();
    Require(name.empty() || cmd.ArgumentCount() == 2, "a name without two arguments", words);
    if (cmd.ShowHelp() || cmd.ArgumentCount() != 2) return;
    Require(!name.empty() && name.find(' ') == std::string::npos, "an empty name or one with a blank passed", words);
    Require(StaysInCompanyFolder(name), "a name that climbs out of the company folder passed", words);
}

void CheckMode(const TCommandLine& cmd, const std::vector<std::string>& words) {
    const TCmdInstallType mode = cmd.InstallType();
    if (mode == citNone) return;
    Require(cmd.ArgumentCount() == 1 || cmd.ArgumentCount() == 2, "a mode with neither one nor two arguments", words);
    Require(words[1] == (mode == citInstall ? "/install" : "/update"), "a mode from an inexact word", words);
}

void CheckCaseIgnored(const TCommandLine& cmd, const std::vector<std::string>& words) {
    if (words.size() < 2) return;
    std::vector<std::string> swapped = words;
    swapped[1] = SwapAsciiCase(swapped[1]);
    Require(TCommandLine(swapped).ArgumentsValid() == cmd.ArgumentsValid(), "the check depends on letter case", words);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> words = Words(data, size);
    const TCommandLine cmd(words);
    Require(cmd.ArgumentCount() == words.size() - 1, "arguments miscounted", words);
    Require(cmd.ArgumentCount() < 3 || !cmd.ArgumentsValid(), "three or more arguments passed", words);
    Require(cmd.ShowHelp() == (!cmd.ArgumentsValid() || HasWord(words, "/?")), "help against the rule", words);
    Require(cmd.SingleThreaded() == HasWord(words, "/st"), "single-threaded against the words", words);
    CheckName(cmd, words);
    CheckMode(cmd, words);
    CheckCaseIgnored(cmd, words);
    return 0;
}
