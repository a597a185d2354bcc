#pragma once
#include <string>

// A loopback port that accepts connections and never answers them: a request
// to it stays pending until the client gives up, so a run stays alive while a
// test looks at it, or ends by its own time limits. Closed with the object.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }

private:
    int m_nFd;
    int m_nPort = 0;
};
