#pragma once
#include <memory>
#include <string>

#include "support/BackgroundProcess.h"

// An X server of the test's own (Debian's xvfb) on the first display number
// free, so that windows can be drawn, read and clicked without a screen and
// beside other runs. Stopped by its own process id when the object goes away.
class XvfbServer {
public:
    XvfbServer();

    static bool Installed();
    // ":N", or empty when the server did not start.
    const std::string& Display() const { return m_strDisplay; }
    // What the server said, for a failure message.
    std::string FailureText() const;

private:
    std::unique_ptr<BackgroundProcess> m_Process;
    std::string m_strDisplay;
};
