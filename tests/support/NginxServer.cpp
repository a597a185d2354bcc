#include "support/NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <thread>

#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr int kStartAttempts = 3;

// Replaces the value of the first `name ...;` directive whose value matches `valuePattern`.
void SetDirective(std::string& conf, const std::string& name, const std::string& value,
                  const std::string& valuePattern = "[^;\\n]*") {
    std::regex pattern("(^|\\n)([ \\t]*)" + name + "[ \\t]+" + valuePattern + ";");
    std::smatch match;
    if (!std::regex_search(conf, match, pattern)) throw std::runtime_error("deploy/nginx.conf lacks " + name);
    conf.replace(match.position(0), match.length(0), match[1].str() + match[2].str() + name + " " + value + ";");
}

void AddToHttpBlock(std::string& conf, const std::string& directives) {
    std::smatch match;
    if (!std::regex_search(conf, match, std::regex("(^|\\n)http[ \\t]*\\{[^\\n]*\\n")))
        throw std::runtime_error("deploy/nginx.conf lacks the http block");
    conf.insert(static_cast<size_t>(match.position(0) + match.length(0)), directives + "\n");
}

std::string ReadIfThere(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) ? ReadFileText(path) : std::string();
}

}  // namespace

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    close(fd);
    return ntohs(addr.sin_port);
}

bool AcceptsConnections(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

bool NginxServer::Installed() { return fs::exists(kExecutable); }

std::string NginxServer::CaPem() { return TestCertificates::Shared().CaPem(); }

NginxServer::NginxServer(const fs::path& tree, const fs::path& runFolder, NginxOptions options)
    : m_RunFolder(runFolder) {
    for (int attempt = 0; attempt < kStartAttempts && !m_Process; ++attempt) TryStart(tree, options);
}

NginxServer::~NginxServer() { Stop(); }

bool NginxServer::TryStart(const fs::path& tree, const NginxOptions& options) {
    m_nPort = FreeLoopbackPort();
    do m_nTlsPort = FreeLoopbackPort();
    while (m_nTlsPort == m_nPort);
    const fs::path run = m_RunFolder / ("nginx-" + std::to_string(m_nPort));
    fs::create_directories(run);
    std::string conf = ReadFileText(fs::path(VX_SOURCE_DIR) / "deploy/nginx.conf");
    SetDirective(conf, "listen", "127.0.0.1:" + std::to_string(m_nPort), "[0-9]+");
    SetDirective(conf, "listen", "127.0.0.1:" + std::to_string(m_nTlsPort) + " ssl", "[0-9]+ ssl");
    SetDirective(conf, "ssl_certificate", TestCertificates::Shared().ServerPem());
    SetDirective(conf, "ssl_certificate_key", TestCertificates::Shared().ServerKey());
    SetDirective(conf, "root", tree.string());
    SetDirective(conf, "pid", (run / "nginx.pid").string());
    SetDirective(conf, "error_log", (run / "error.log").string() + " warn");
    std::string accessLog = (run / "access.log").string();
    if (!options.strAccessLogFormat.empty()) accessLog += " " + options.strAccessLogFormat;
    SetDirective(conf, "access_log", accessLog);
    for (const char* temp :
         {"client_body_temp_path", "proxy_temp_path", "fastcgi_temp_path", "uwsgi_temp_path", "scgi_temp_path"})
        SetDirective(conf, temp, (run / temp).string());
    if (geteuid() != 0) SetDirective(conf, "user", getenv("USER") ? getenv("USER") : "nobody");
    if (!options.strExtraHttp.empty()) AddToHttpBlock(conf, options.strExtraHttp);
    WriteFileText(run / "nginx.conf", conf);

    auto nginx = std::make_unique<BackgroundProcess>(
        kExecutable, std::vector<std::string>{"-e", (run / "startup.log").string(), "-p", run.string(), "-c",
                                              (run / "nginx.conf").string(), "-g", "daemon off;"});
    // A loaded machine may take a while to start the master and its workers.
    for (int i = 0; i < 400 && nginx->IsRunning(); ++i) {
        if (AcceptsConnections(m_nPort) && AcceptsConnections(m_nTlsPort)) {
            m_Process = std::move(nginx);
            m_CurrentRun = run;
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    m_strFailure += "nginx on ports " + std::to_string(m_nPort) + " and " + std::to_string(m_nTlsPort) + ": " + nginx->StderrText() +
                    ReadIfThere(run / "startup.log") + ReadIfThere(run / "error.log") + "\n";
    nginx->Stop();
    return false;
}

std::string NginxServer::AccessLog() const { return ReadIfThere(m_CurrentRun / "access.log"); }

std::string NginxServer::ErrorLog() const { return ReadIfThere(m_CurrentRun / "error.log"); }

void NginxServer::Stop() {
    if (m_Process) m_Process->Stop();
}
