#include "support/XvfbServer.h"

#include <chrono>
#include <stdexcept>

#include "support/ChildProcess.h"

bool XvfbServer::Installed() { return RunProcess("sh", {"-c", "command -v Xvfb"}).exitCode == 0; }

XvfbServer::XvfbServer() {
    // -displayfd: the server picks a free display itself and writes its number
    // to stdout once it accepts clients; asking for a number of our own would race.
    try {
        m_Process = std::make_unique<BackgroundProcess>(
            "Xvfb", std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    } catch (const std::runtime_error&) {
        return;
    }
    const std::optional<std::string> number = m_Process->WaitForLine(std::chrono::seconds(30));
    if (number && !number->empty()) m_strDisplay = ":" + *number;
}

std::string XvfbServer::FailureText() const {
    return m_Process ? "Xvfb: " + m_Process->StderrText() : std::string("Xvfb could not be started");
}
