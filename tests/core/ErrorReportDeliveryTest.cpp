#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/ErrorReportDelivery.h"
#include "diagnostics/ErrorReporter.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/SystemDiagnostics.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;

const TestCertificates& Certificates() { return TestCertificates::Shared(); }

// A TLS server on 127.0.0.1 that records each request exactly as it arrived
// (request line, headers, body) and answers with a fixed status, or never
// answers at all (a stalled service).
class TlsCaptureServer {
public:
    enum class TMode { Answer, Stall };

    explicit TlsCaptureServer(int nStatus = 200, TMode mode = TMode::Answer) : m_nStatus(nStatus), m_Mode(mode) {
        m_pCtx.reset(SSL_CTX_new(TLS_server_method()));
        if (!m_pCtx || SSL_CTX_use_certificate_chain_file(m_pCtx.get(), Certificates().ServerPem().c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_pCtx.get(), Certificates().ServerKey().c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("server certificate not loaded");
        m_nListen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(m_nListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_nListen, 8) != 0 ||
            getsockname(m_nListen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("listen failed");
        m_nPort = ntohs(addr.sin_port);
        m_Thread = std::thread([this] { Run(); });
    }
    ~TlsCaptureServer() { Stop(); }

    void Stop() {
        {
            std::lock_guard lock(m_csState);
            m_bStop = true;
        }
        m_cvStop.notify_all();
        if (m_Thread.joinable()) m_Thread.join();
        if (m_nListen >= 0) close(m_nListen);
        m_nListen = -1;
    }

    int Port() const { return m_nPort; }
    std::string Url() const { return "https://127.0.0.1:" + std::to_string(m_nPort) + "/software/error"; }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_csState);
        return m_lstRequests;
    }
    int Connections() const { return m_nConnections.load(); }

private:
    struct TSslFree {
        void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
        void operator()(SSL* p) const { SSL_free(p); }
    };

    void Run() {
        while (!Stopping()) {
            pollfd pfd{m_nListen, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0) continue;
            const int fd = accept(m_nListen, nullptr, nullptr);
            if (fd < 0) continue;
            ++m_nConnections;
            timeval timeout{5, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            Serve(fd);
            close(fd);
        }
    }

    void Serve(int fd) {
        std::unique_ptr<SSL, TSslFree> ssl(SSL_new(m_pCtx.get()));
        SSL_set_fd(ssl.get(), fd);
        if (SSL_accept(ssl.get()) != 1) return;  // the client refused our certificate
        std::string request = ReadRequest(ssl.get());
        {
            std::lock_guard lock(m_csState);
            m_lstRequests.push_back(std::move(request));
        }
        if (m_Mode == TMode::Stall) {
            std::unique_lock lock(m_csState);
            m_cvStop.wait(lock, [this] { return m_bStop; });
            return;
        }
        const std::string answer = "HTTP/1.0 " + std::to_string(m_nStatus) +
                                   " Whatever\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nOK";
        SSL_write(ssl.get(), answer.data(), static_cast<int>(answer.size()));
        SSL_shutdown(ssl.get());
    }

    static std::string ReadRequest(SSL* ssl) {
        std::string data;
        char buffer[4096];
        size_t nNeeded = std::string::npos;
        while (nNeeded == std::string::npos || data.size() < nNeeded) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0) break;
            data.append(buffer, static_cast<size_t>(n));
            const auto end = data.find("\r\n\r\n");
            if (nNeeded == std::string::npos && end != std::string::npos) {
                const auto at = data.find("\r\nContent-Length: ");
                nNeeded = end + 4 + (at != std::string::npos && at < end ? std::stoul(data.substr(at + 18)) : 0);
            }
        }
        return data;
    }

    bool Stopping() {
        std::lock_guard lock(m_csState);
        return m_bStop;
    }

    int m_nStatus;
    TMode m_Mode;
    std::unique_ptr<SSL_CTX, TSslFree> m_pCtx;
    int m_nListen = -1;
    int m_nPort = 0;
    std::atomic<int> m_nConnections{0};
    mutable std::mutex m_csState;
    std::condition_variable m_cvStop;
    bool m_bStop = false;
    std::vector<std::string> m_lstRequests;
    std::thread m_Thread;
};

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

// Every proxy variable curl would read, pointing at a port nobody listens on.
void PointProxiesAtNothing(TScopedEnv& env) {
    static const std::string proxy = "http://127.0.0.1:" + std::to_string(ClosedPort());
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "HTTP_PROXY", "ALL_PROXY", "all_proxy"})
        env.Set(name, proxy.c_str());
    env.Set("no_proxy", nullptr);
    env.Set("NO_PROXY", nullptr);
}

// The report text of the one "Exception:  HardID=" entry of a log: the entry is
// the header line, CR LF, the text (ending in CR LF) and CR LF.
std::string LoggedReportText(const std::string& raw, std::string& header) {
    const auto start = raw.find("Exception:  HardID=");
    if (start == std::string::npos) return {};
    const auto eol = raw.find("\r\n", start);
    header = raw.substr(start, eol - start);
    const std::string sep = std::string(100, '-') + "\r\n";
    const auto end = raw.find(sep + "\r\n\r\n", eol);
    return end == std::string::npos ? std::string() : raw.substr(eol + 2, end + sep.size() - eol - 2);
}

class ErrorReportDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        ProcessErrorReporter().ResetThrottles();
        PointProxiesAtNothing(m_Env);
    }
    void TearDown() override { ProcessErrorReporter().ResetThrottles(); }

    TScopedEnv m_Env;
};

TEST_F(ErrorReportDelivery, SilentReportArrivesOverTlsByteForByteWithoutTheProxy) {
    TlsCaptureServer server;
    m_Env.Set("ORLADESK_ERROR_REPORT_URL", server.Url().c_str());
    m_Env.Set("ORLADESK_CA_BUNDLE", Certificates().CaPem().c_str());
    LogCapture log;

    try {
        throw std::runtime_error("a&b=c 100% done\r\nsecond line ç");
    } catch (const std::exception& e) {
        TExceptionObject::SilentException(e);
    }
    server.Stop();

    EXPECT_FALSE(log.Contains("Report not delivered")) << log.Raw();
    std::string header;
    const std::string text = LoggedReportText(log.Raw(), header);
    ASSERT_FALSE(text.empty()) << log.Raw();
    const std::string id = TExceptionObject::GetMachineID();
    EXPECT_EQ(header, "Exception:  HardID=" + id + " Version=" + GetAppVersion() + " SilentMode=1");
    // The log writes the message's line break escaped, so it cannot forge a line;
    // the report itself carries the message as it was.
    const std::string escaped = "Mensagem da Exceção : a&b=c 100% done\\r\\nsecond line ç\r\n";
    const size_t at = text.find(escaped);
    ASSERT_NE(at, std::string::npos) << text;
    std::string sent = text;
    sent.replace(at, escaped.size(), "Mensagem da Exceção : a&b=c 100% done\r\nsecond line ç\r\n");

    const std::string body = "strActivationCode=000000000000000&strHardID=" + id + "&strVersion=" + GetAppVersion() +
                             "&str_error=" + sent + "&bSilentMode=1";
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u) << "the request went straight to the service, not to the proxy";
    EXPECT_EQ(requests[0], "POST /software/error HTTP/1.0\r\n"
                           "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\n"
                           "User-Agent: Mozilla/4.0\r\n"
                           "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                           "Content-Length: " + std::to_string(body.size()) + "\r\n"
                           "\r\n" + body);
}

TEST_F(ErrorReportDelivery, UntrustedCertificateIsRefusedLoggedInOneLineAndTheCallReturns) {
    TlsCaptureServer server;
    m_Env.Set("ORLADESK_ERROR_REPORT_URL", server.Url().c_str());
    m_Env.Set("ORLADESK_CA_BUNDLE", nullptr);
    LogCapture log;

    TExceptionObject::SilentException(std::string("nobody must read this"));
    server.Stop();

    EXPECT_EQ(server.Connections(), 1);
    EXPECT_TRUE(server.Requests().empty()) << "no byte of the report passed an unverified channel";
    const auto failures = log.Matching("TExceptionObject.SendError: Report not delivered | Url=" + server.Url());
    ASSERT_EQ(failures.size(), 1u) << log.Raw();
    EXPECT_NE(failures[0].find("certificate"), std::string::npos) << failures[0];
    EXPECT_EQ(log.CountContaining("Exception:  HardID="), 1u) << "the report stays in the log";
}

TEST_F(ErrorReportDelivery, FailuresThrowQuicklyWithTheirReason) {
    TlsCaptureServer refusing(500);
    TlsCaptureServer stalled(200, TlsCaptureServer::TMode::Stall);
    struct TCase {
        const char* label;
        std::string strUrl;
        std::string strCaBundle;  // empty: none
        std::string strReason;
        std::chrono::seconds tAtMost;
    };
    const std::string ca = Certificates().CaPem();
    const std::vector<TCase> cases = {
        {"refused connection", "https://127.0.0.1:" + std::to_string(ClosedPort()) + "/software/error",
         ca, "Couldn't connect", 3s},
        {"status 500", refusing.Url(), ca, "status 500", 3s},
        // curl averages the speed over its last few seconds, so the limit bites a little late.
        {"no answer within the idle limit", stalled.Url(), ca, "Timeout", 15s},
        {"reserved .invalid host", "https://errors.orladesk.invalid/software/error", "", ".invalid", 1s},
        {"extra bundle unreadable", refusing.Url(), "/nonexistent/ca.pem", "CA cert", 3s},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.label);
        m_Env.Set("ORLADESK_CA_BUNDLE", c.strCaBundle.empty() ? nullptr : c.strCaBundle.c_str());
        const auto start = std::chrono::steady_clock::now();
        try {
            PostErrorReport({c.strUrl, "strActivationCode=1", 2s, 2000ms});
            ADD_FAILURE() << "delivered";
        } catch (const TReportDeliveryError& e) {
            EXPECT_NE(std::string(e.what()).find(c.strReason), std::string::npos) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.tAtMost);
    }
    refusing.Stop();
    stalled.Stop();
    EXPECT_EQ(refusing.Requests().size(), 1u);
}

TEST_F(ErrorReportDelivery, ServiceAnsweringOkReturnsItsStatus) {
    TlsCaptureServer server(200);
    m_Env.Set("ORLADESK_CA_BUNDLE", Certificates().CaPem().c_str());
    EXPECT_EQ(PostErrorReport({server.Url(), "x=1"}), 200);
    server.Stop();
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].ends_with("\r\n\r\nx=1"));
}

}  // namespace
