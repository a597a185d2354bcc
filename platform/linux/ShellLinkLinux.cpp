#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/ShellLink.h"

namespace fs = std::filesystem;

namespace {

// The escapes of a string value in a desktop entry.
std::string EscapeCharacters(const std::string& text) {
    std::string result;
    for (char c : text) {
        switch (c) {
            case '\\': result += "\\\\"; break;
            case '\n': result += "\\n"; break;
            case '\t': result += "\\t"; break;
            case '\r': result += "\\r"; break;
            default: result += c;
        }
    }
    return result;
}

std::string EscapeValue(const std::string& text) {
    std::string result = EscapeCharacters(text);
    // A leading blank would be trimmed by readers.
    if (!result.empty() && result[0] == ' ') result.replace(0, 1, "\\s");
    return result;
}

std::string EntryText(const fs::path& file, const std::string& targetExe, const std::string& arguments,
                      const std::string& description, const std::string& workingFolder) {
    std::string exec = DesktopExecArgument(targetExe);
    for (const std::string& word : LinkArgumentWords(arguments)) exec += " " + DesktopExecArgument(word);
    std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapeValue(file.stem().string()) + "\n";
    if (!description.empty()) text += "Comment=" + EscapeValue(description) + "\n";
    text += "Exec=" + exec + "\n";
    if (!workingFolder.empty()) text += "Path=" + EscapeValue(workingFolder) + "\n";
    text += "Terminal=false\n";
    return text;
}

[[noreturn]] void Fail(const fs::path& file, const char* step, int error) {
    throw std::runtime_error("SaveShellLink: " + std::string(step) + " " + file.string() + ": " + std::strerror(error));
}

}  // namespace

fs::path ShellLinkFilePath(const std::string& linkPath) {
    if (HasLinkExtension(linkPath)) return linkPath.substr(0, linkPath.size() - 4) + ".desktop";
    if (linkPath.ends_with(".desktop")) return linkPath;
    return linkPath + ".desktop";
}

std::string DesktopExecArgument(const std::string& argument) {
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool bQuote = argument.empty() || argument.find_first_of(reserved) != std::string::npos;
    std::string quoted;
    if (bQuote) quoted += '"';
    for (char c : argument) {
        if (bQuote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    if (bQuote) quoted += '"';
    // The quoting above is read after the value's own escapes are undone.
    return EscapeCharacters(quoted);
}

void SaveShellLink(const std::string& linkPath, const std::string& targetExe, const std::string& arguments,
                   const std::string& description, const std::string& workingFolder) {
    const fs::path file = ShellLinkFilePath(linkPath);
    const std::string text = EntryText(file, targetExe, arguments, description, workingFolder);

    std::string tempName = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    if (file.parent_path().empty()) tempName = "." + file.filename().string() + ".XXXXXX";
    std::vector<char> temp(tempName.begin(), tempName.end());
    temp.push_back('\0');
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) Fail(file, "cannot create a file beside", errno);

    auto abandon = [&](const char* step) {
        const int error = errno;
        close(fd);
        unlink(temp.data());
        Fail(file, step, error);
    };
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon("cannot write");
        }
        written += static_cast<size_t>(n);
    }
    if (fchmod(fd, 0755) != 0) abandon("cannot set the mode of");
    if (fsync(fd) != 0) abandon("cannot flush");
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.data());
        Fail(file, "cannot close", error);
    }
    if (rename(temp.data(), file.c_str()) != 0) {
        const int error = errno;
        unlink(temp.data());
        Fail(file, "cannot rename into", error);
    }
}
