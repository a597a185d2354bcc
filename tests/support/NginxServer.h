#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "support/BackgroundProcess.h"

// What a test may change in the deployed configuration besides the places
// that must point into the test's own folders.
struct NginxOptions {
    // Directives put at the top of the http block, e.g. "limit_rate 200k;" or a
    // log_format that the access log then uses.
    std::string strExtraHttp;
    // Name of a log_format (defined in strExtraHttp) for the access log; empty:
    // nginx's default "combined".
    std::string strAccessLogFormat;
};

// Debian's nginx running deploy/nginx.conf on two free 127.0.0.1 ports, one
// plain and one with TLS (a certificate of TestCertificates), in the
// foreground, with its pid, logs and temporary folders in `runFolder`. It is
// stopped by its own process id. A port taken by someone else between choosing
// and binding it costs one more attempt, up to three.
//
//   NginxServer nginx(tree, dir / "nginx");
//   ASSERT_TRUE(nginx.Started()) << nginx.FailureText();
class NginxServer {
public:
    static constexpr const char* kExecutable = "/usr/sbin/nginx";
    static bool Installed();

    // Throws std::runtime_error when deploy/nginx.conf lacks a directive the
    // test must replace: the test would then run something other than what is
    // deployed.
    NginxServer(const std::filesystem::path& tree, const std::filesystem::path& runFolder, NginxOptions options = {});
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool Started() const { return m_Process != nullptr; }
    // Why the start failed: nginx's stderr and its logs.
    const std::string& FailureText() const { return m_strFailure; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    std::string TlsBaseUrl() const { return "https://127.0.0.1:" + std::to_string(m_nTlsPort); }
    // The PEM file of the authority that signed the TLS certificate: what a client must trust.
    static std::string CaPem();
    int Port() const { return m_nPort; }
    pid_t Pid() const { return m_Process ? m_Process->Pid() : -1; }
    std::string AccessLog() const;
    std::string ErrorLog() const;

    void Stop();

private:
    bool TryStart(const std::filesystem::path& tree, const NginxOptions& options);

    std::filesystem::path m_RunFolder;
    std::filesystem::path m_CurrentRun;
    std::unique_ptr<BackgroundProcess> m_Process;
    int m_nPort = 0;
    int m_nTlsPort = 0;
    std::string m_strFailure;
};

// A port on 127.0.0.1 that was free a moment ago; -1 when none could be had.
int FreeLoopbackPort();
// Whether something accepts TCP connections on 127.0.0.1:port.
bool AcceptsConnections(int port);
