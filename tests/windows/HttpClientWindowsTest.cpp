// THttpClient over WinHTTP against a small server of the test's own: Debian's
// cpp-httplib, the Linux tests' server, exists only for Linux.
#include <winsock2.h>
#include <ws2tcpip.h>
// windows.h after winsock2.h, or it brings the old winsock.h in.
#include <windows.h>
// winhttp.h needs the types of windows.h first.
#include <gtest/gtest.h>
#include <winhttp.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/ErrorReportDelivery.h"
#include "service/HttpClient.h"

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

struct TRequest {
    std::string strLine;    // the request line as sent
    std::string strTarget;  // as on the request line: a path, or an absolute URL for a proxy
    std::string strBody;    // Content-Length bytes after the headers
    std::vector<std::pair<std::string, std::string>> lstHeaders;
    int nClientPort = 0;

    std::string Header(const std::string& name) const {
        for (const auto& [key, value] : lstHeaders)
            if (_stricmp(key.c_str(), name.c_str()) == 0) return value;
        return {};
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& header : lstHeaders) names.insert(header.first);
        return names;
    }
};

// How the server answers one target. Send writes on the connection and may
// sleep through Pause, which returns false once the server stops; false from
// Send closes the connection.
class TConnection;
using TAnswer = std::function<bool(const TRequest&, TConnection&)>;

class TConnection {
public:
    TConnection(SOCKET socket, const std::atomic<bool>& bStopping) : m_Socket(socket), m_bStopping(bStopping) {}
    bool Send(const std::string& data) {
        return send(m_Socket, data.data(), static_cast<int>(data.size()), 0) == static_cast<int>(data.size());
    }
    bool Pause(std::chrono::milliseconds tPause) {
        const auto tEnd = TClock::now() + tPause;
        while (TClock::now() < tEnd) {
            if (m_bStopping) return false;
            std::this_thread::sleep_for(10ms);
        }
        return !m_bStopping;
    }

private:
    SOCKET m_Socket;
    const std::atomic<bool>& m_bStopping;
};

std::string Answer(int nStatus, const std::string& reason, const std::string& body,
                   const std::string& extraHeaders = "") {
    return "HTTP/1.1 " + std::to_string(nStatus) + " " + reason + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n" + extraHeaders + "\r\n" + body;
}

// A plain Winsock HTTP/1.1 server on 127.0.0.1: one thread per connection,
// keep-alive, answers looked up by request target.
class TLocalServer {
public:
    TLocalServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_Listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int nLength = sizeof address;
        if (bind(m_Listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_Listen, 16) != 0 ||
            getsockname(m_Listen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
            throw std::runtime_error("the test server could not listen");
        m_nPort = ntohs(address.sin_port);
        m_Accept = std::thread([this] { AcceptLoop(); });
    }
    ~TLocalServer() { Stop(); }

    void Stop() {
        if (m_bStopping.exchange(true)) return;
        closesocket(m_Listen);
        {
            std::lock_guard lock(m_csState);
            for (SOCKET s : m_lstOpen) shutdown(s, SD_BOTH);
        }
        if (m_Accept.joinable()) m_Accept.join();
        for (std::thread& t : m_lstThreads) t.join();
        WSACleanup();
    }

    int Port() const { return m_nPort; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_nPort) + path; }
    void Route(const std::string& target, TAnswer answer) {
        std::lock_guard lock(m_csState);
        m_Routes[target] = std::move(answer);
    }
    void Route(const std::string& target, const std::string& canned) {
        Route(target, [canned](const TRequest&, TConnection& c) { return c.Send(canned); });
    }
    std::vector<TRequest> Requests() const {
        std::lock_guard lock(m_csState);
        return m_lstRequests;
    }
    int Hits(const std::string& target) const {
        const auto requests = Requests();
        return static_cast<int>(
            std::count_if(requests.begin(), requests.end(), [&](const TRequest& r) { return r.strTarget == target; }));
    }

private:
    void AcceptLoop() {
        for (;;) {
            sockaddr_in peer{};
            int nLength = sizeof peer;
            SOCKET s = accept(m_Listen, reinterpret_cast<sockaddr*>(&peer), &nLength);
            if (s == INVALID_SOCKET) return;
            std::lock_guard lock(m_csState);
            m_lstOpen.push_back(s);
            m_lstThreads.emplace_back([this, s, nPort = ntohs(peer.sin_port)] { Serve(s, nPort); });
        }
    }

    void Serve(SOCKET s, int nClientPort) {
        TConnection connection(s, m_bStopping);
        std::string pending;
        char buffer[4096];
        for (;;) {
            size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                // A client keeps its connection open between requests: look
                // now and then whether the server is stopping.
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(s, &readable);
                timeval tick{0, 50000};
                if (m_bStopping) return Close(s);
                if (select(0, &readable, nullptr, nullptr, &tick) <= 0) continue;
                const int n = recv(s, buffer, sizeof buffer, 0);
                if (n <= 0) return Close(s);
                pending.append(buffer, n);
            }
            TRequest request = Parse(pending.substr(0, end));
            request.nClientPort = nClientPort;
            pending.erase(0, end + 4);
            const size_t nBody =
                request.Header("Content-Length").empty() ? 0 : std::stoul(request.Header("Content-Length"));
            while (pending.size() < nBody) {
                const int n = recv(s, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                pending.append(buffer, n);
            }
            request.strBody = pending.substr(0, nBody);
            pending.erase(0, request.strBody.size());
            TAnswer answer;
            {
                std::lock_guard lock(m_csState);
                m_lstRequests.push_back(request);
                const auto found = m_Routes.find(request.strTarget);
                if (found != m_Routes.end()) answer = found->second;
            }
            const bool bGoOn = answer ? answer(request, connection) : connection.Send(Answer(404, "Not Found", ""));
            if (!bGoOn) return Close(s);
        }
    }

    void Close(SOCKET s) {
        std::lock_guard lock(m_csState);
        m_lstOpen.erase(std::remove(m_lstOpen.begin(), m_lstOpen.end(), s), m_lstOpen.end());
        closesocket(s);
    }

    static TRequest Parse(const std::string& head) {
        TRequest request;
        size_t at = head.find("\r\n");
        const std::string line = head.substr(0, at);
        request.strLine = line;
        const size_t first = line.find(' ');
        request.strTarget = line.substr(first + 1, line.rfind(' ') - first - 1);
        // A proxy may be asked for "http://host:80/..." or "http://host/...": the same.
        if (request.strTarget.starts_with("http://")) {
            const size_t port = request.strTarget.find(":80/", 7);
            if (port != std::string::npos && port < request.strTarget.find('/', 7)) request.strTarget.erase(port, 3);
        }
        while (at != std::string::npos) {
            const size_t next = head.find("\r\n", at + 2);
            const std::string header =
                head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
            const size_t colon = header.find(':');
            if (colon != std::string::npos)
                request.lstHeaders.emplace_back(header.substr(0, colon),
                                                header.substr(header.find_first_not_of(' ', colon + 1)));
            at = next;
        }
        return request;
    }

    SOCKET m_Listen = INVALID_SOCKET;
    int m_nPort = 0;
    std::atomic<bool> m_bStopping{false};
    mutable std::mutex m_csState;
    std::map<std::string, TAnswer> m_Routes;
    std::vector<TRequest> m_lstRequests;
    std::vector<SOCKET> m_lstOpen;
    std::vector<std::thread> m_lstThreads;
    std::thread m_Accept;
};

// zlib's three wrappings: 31 gzip, 15 zlib ("deflate" as meant), -15 raw deflate.
std::string Compress(const std::string& text, int nWindowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, nWindowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Announces a long body and then sends a byte every `tEvery`, or nothing at all.
TAnswer Trickle(std::chrono::milliseconds tEvery, size_t nAnnounced = 100000) {
    return [=](const TRequest&, TConnection& c) {
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(nAnnounced) + "\r\n\r\n")) return false;
        while (c.Pause(tEvery))
            if (!c.Send("t")) return false;
        return false;
    };
}

TAnswer Endless() {
    return [](const TRequest&, TConnection& c) {
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n")) return false;
        const std::string block(4096, 'e');
        while (c.Pause(1ms) && c.Send(block)) {
        }
        return false;
    };
}

TAnswer Silent() {
    return [](const TRequest&, TConnection& c) {
        c.Pause(60s);
        return false;
    };
}

class HttpClientWindows : public ::testing::Test {
protected:
    void TearDown() override { m_Server.Stop(); }
    TLocalServer m_Server;
    THttpClient m_Client;
};

TEST_F(HttpClientWindows, StatusReasonLengthAndBodyWithProgress) {
    const std::string payload(300000, 'x');
    m_Server.Route("/files/abc", Answer(200, "OK", payload));
    m_Server.Route("/missing", Answer(404, "Not Found", "gone"));
    m_Server.Route("/stream", [](const TRequest&, TConnection& c) {
        c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabcdef");
        return false;
    });
    std::vector<uint64_t> samples;
    m_Client.SetProgressCallback([&](uint64_t n) { samples.push_back(n); });

    std::string body = "stale";
    const THttpResponse ok = m_Client.Get(m_Server.Url("/files/abc"), body);
    EXPECT_EQ(ok.nStatus, 200);
    EXPECT_EQ(ok.strStatusText, "OK");
    EXPECT_EQ(ok.nContentLength, 300000);
    EXPECT_EQ(ok.nReceived, 300000u);
    EXPECT_EQ(body, payload);
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(std::is_sorted(samples.begin(), samples.end()));
    EXPECT_EQ(samples.back(), 300000u);

    const THttpResponse missing = m_Client.Get(m_Server.Url("/missing"), body);
    EXPECT_EQ(missing.nStatus, 404);
    EXPECT_EQ(missing.strStatusText, "Not Found");
    EXPECT_EQ(body, "gone");

    const THttpResponse stream = m_Client.Get(m_Server.Url("/stream"), body);
    EXPECT_EQ(stream.nContentLength, -1);
    EXPECT_EQ(body, "abcdef");
}

// Host and what the owner configured; WinHTTP's own "Connection: Keep-Alive"
// is the one addition. Redirections come back as answers.
TEST_F(HttpClientWindows, SendsOnlyTheConfiguredHeadersAndFollowsNoRedirect) {
    m_Server.Route("/q", Answer(200, "OK", "{}"));
    m_Server.Route("/old", Answer(302, "Found", "", "Location: /q\r\n"));
    std::string body;
    m_Client.Get(m_Server.Url("/q"), body);
    m_Client.SetHeaders({"Connection: Keep-Alive", "X-Probe: 1"});
    m_Client.SetAcceptEncoding("gzip, deflate");
    m_Client.Get(m_Server.Url("/q"), body);
    EXPECT_EQ(m_Client.Get(m_Server.Url("/old"), body).nStatus, 302);

    const auto requests = m_Server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Names(), (std::set<std::string>{"Host", "Connection"}));
    EXPECT_EQ(requests[0].Header("Host"), "127.0.0.1:" + std::to_string(m_Server.Port()));
    EXPECT_EQ(requests[1].Names(), (std::set<std::string>{"Host", "Connection", "X-Probe", "Accept-Encoding"}));
    EXPECT_EQ(requests[1].Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(requests[1].Header("X-Probe"), "1");
    // The version service's own "Connection: Keep-Alive" replaces WinHTTP's rather than doubling it.
    EXPECT_EQ(requests[1].lstHeaders.size(), 4u);
    EXPECT_EQ(m_Server.Hits("/q"), 2) << "the redirection was followed";
}

TEST_F(HttpClientWindows, CompressedBodiesAreDecodedWhileContentLengthStaysAsSent) {
    std::string text;
    for (int i = 0; text.size() < 200000; ++i) text += "line " + std::to_string(i * 7919 % 100003) + "\n";
    struct TCase {
        const char* szEncoding;
        int nWindowBits;
    };
    m_Client.SetAcceptEncoding("gzip, deflate");
    for (const TCase& c : {TCase{"gzip", 31}, TCase{"deflate", 15}, TCase{"deflate", -15}}) {
        SCOPED_TRACE(std::string(c.szEncoding) + " " + std::to_string(c.nWindowBits));
        const std::string packed = Compress(text, c.nWindowBits);
        m_Server.Route("/z", Answer(200, "OK", packed, std::string("Content-Encoding: ") + c.szEncoding + "\r\n"));
        std::string body;
        const THttpResponse response = m_Client.Get(m_Server.Url("/z"), body);
        EXPECT_EQ(body, text);
        EXPECT_EQ(response.nReceived, text.size());
        EXPECT_EQ(response.nContentLength, static_cast<int64_t>(packed.size()));
    }
    // Cut short or not compressed at all: a failure, never a partial body taken for the whole.
    const std::string packed = Compress(text, 31);
    for (const std::string& broken : {packed.substr(0, packed.size() / 2), std::string("plainly not gzip")}) {
        m_Server.Route("/bad", Answer(200, "OK", broken, "Content-Encoding: gzip\r\n"));
        std::string body;
        EXPECT_THROW(m_Client.Get(m_Server.Url("/bad"), body), THttpError);
    }
}

TEST_F(HttpClientWindows, ConsecutiveRequestsReuseTheConnection) {
    m_Server.Route("/a", Answer(200, "OK", "1"));
    m_Server.Route("/b", Answer(200, "OK", "2"));
    std::string body;
    m_Client.Get(m_Server.Url("/a"), body);
    m_Client.Get(m_Server.Url("/b"), body);
    const auto requests = m_Server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].nClientPort, requests[1].nClientPort);
}

struct TLimitCase {
    const char* szLabel;
    TAnswer answer;
    std::function<void(THttpClient&)> configure;
    std::chrono::seconds tAtMost;
};

// Whatever the server does, the request ends within its limit, with an
// error, never a hang and never a silent success.
TEST_F(HttpClientWindows, LimitsEndStalledAndEndlessTransfers) {
    const std::vector<TLimitCase> cases = {
        {"trickle below the low-speed floor", Trickle(200ms), [](THttpClient& c) { c.SetLowSpeedLimit(1024, 2s); }, 6s},
        {"trickle past the deadline", Trickle(200ms),
         [](THttpClient& c) {
             c.SetLowSpeedLimit(1, 60s);
             c.SetTransferDeadline(1500ms);
         },
         5s},
        {"no answer at all", Silent(), [](THttpClient& c) { c.SetLowSpeedLimit(1, 1s); }, 5s},
        {"body stops short",
         [](const TRequest&, TConnection& c) {
             c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nshort");
             return false;
         },
         [](THttpClient&) {}, 5s},
    };
    for (const TLimitCase& c : cases) {
        SCOPED_TRACE(c.szLabel);
        m_Server.Route("/f", c.answer);
        THttpClient client;
        c.configure(client);
        std::string body;
        const auto tStart = TClock::now();
        try {
            client.Get(m_Server.Url("/f"), body);
            ADD_FAILURE() << "no failure";
        } catch (const THttpError& e) {
            EXPECT_FALSE(e.IsAborted()) << e.what();
            EXPECT_FALSE(e.IsTlsFailure()) << e.what();
        }
        EXPECT_LT(TClock::now() - tStart, c.tAtMost);
    }

    m_Server.Route("/endless", Endless());
    std::string body;
    const auto tStart = TClock::now();
    EXPECT_THROW(m_Client.Get(m_Server.Url("/endless"), body, 512), std::length_error);
    EXPECT_LE(body.size(), 512u);
    EXPECT_LT(TClock::now() - tStart, 5s);
    m_Server.Route("/small", Answer(200, "OK", "1.82"));
    EXPECT_EQ(m_Client.Get(m_Server.Url("/small"), body, 512).nStatus, 200);
    EXPECT_EQ(body, "1.82");
}

// The low-speed limit stays at its 30 s: only the abort check can end these
// in time, and it is asked while no byte arrives.
TEST_F(HttpClientWindows, AbortCheckEndsARequestEvenWhileNoDataFlows) {
    struct TCase {
        const char* szLabel;
        TAnswer answer;
        std::chrono::milliseconds tAbortAfter;  // negative: never
        bool bAborted;
    };
    const std::vector<TCase> cases = {
        {"server silent", Silent(), 300ms, true},
        {"body stalls", Trickle(20s), 300ms, true},
        {"true before the request starts", Silent(), 0ms, true},
        {"never true", [](const TRequest&, TConnection& c) { return c.Send(Answer(200, "OK", "whole")); }, -1ms, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.szLabel);
        m_Server.Route("/f", c.answer);
        const auto tStart = TClock::now();
        int nAsked = 0;
        m_Client.SetAbortCheck([&] {
            ++nAsked;
            return c.tAbortAfter.count() >= 0 && TClock::now() - tStart >= c.tAbortAfter;
        });
        std::string body;
        bool bAborted = false;
        try {
            m_Client.Get(m_Server.Url("/f"), body);
        } catch (const THttpError& e) {
            bAborted = e.IsAborted();
            EXPECT_TRUE(bAborted) << e.Code() << " " << e.what();
        }
        EXPECT_EQ(bAborted, c.bAborted);
        EXPECT_LT(TClock::now() - tStart, 3s);
        EXPECT_GT(nAsked, 0);
        if (!c.bAborted) {
            EXPECT_EQ(body, "whole");
        }
    }
    m_Client.SetAbortCheck({});
    m_Server.Route("/f", Answer(200, "OK", "after"));
    std::string after;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/f"), after).nStatus, 200);
    EXPECT_EQ(after, "after");
}

TEST_F(HttpClientWindows, FailureInTheSinkReachesTheCallerAndTheClientStaysUsable) {
    m_Server.Route("/big", Answer(200, "OK", std::string(100000, 'q')));
    struct TFullSink : IHttpBodySink {
        void Write(const char*, size_t) override { throw std::length_error("buffer full"); }
    } full;
    EXPECT_THROW(m_Client.Get(m_Server.Url("/big"), full), std::length_error);
    struct TRecordingSink : IHttpBodySink {
        void Reserve(uint64_t n) override { nReserved = n; }
        void Write(const char*, size_t n) override { nWritten += n; }
        uint64_t nReserved = 0;
        uint64_t nWritten = 0;
    } recording;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/big"), recording).nStatus, 200);
    EXPECT_EQ(recording.nReserved, 100000u);
    EXPECT_EQ(recording.nWritten, 100000u);
}

TEST(HttpClientWindowsErrors, RefusedConnectionAndBadUrlsAreErrorsWithTheirCodes) {
    int nPort = 0;
    {
        TLocalServer closed;
        nPort = closed.Port();
    }
    THttpClient client;
    std::string body;
    try {
        client.Get("http://127.0.0.1:" + std::to_string(nPort) + "/x", body);
        FAIL() << "no failure";
    } catch (const THttpError& e) {
        EXPECT_EQ(e.Code(), ERROR_WINHTTP_CANNOT_CONNECT) << e.what();
        EXPECT_FALSE(e.IsTlsFailure());
        EXPECT_FALSE(e.IsAborted());
        EXPECT_NE(std::string(e.what()).find(std::to_string(nPort)), std::string::npos) << e.what();
    }
    for (const char* url : {"ftp://127.0.0.1/x", "no url at all"})
        EXPECT_THROW(client.Get(url, body), THttpError) << url;
}

// A proxy stand-in: the server sees the absolute-form request.
TEST_F(HttpClientWindows, ProxyCredentialsAreOfferedWhenAskedAndSocksIsRefused) {
    const std::string target = "http://origin.invalid/version/x";
    m_Server.Route(target, [](const TRequest& request, TConnection& c) {
        if (request.Header("Proxy-Authorization").empty())
            return c.Send(
                Answer(407, "Proxy Authentication Required", "", "Proxy-Authenticate: Basic realm=\"corp\"\r\n"));
        return c.Send(Answer(200, "OK", request.Header("Proxy-Authorization")));
    });
    m_Client.SetProxy(TProxySettings{"127.0.0.1", m_Server.Port(), "", "ana", "s3cret"});
    std::string body;
    const THttpResponse response = m_Client.Get(target, body);
    EXPECT_EQ(response.nStatus, 200);
    EXPECT_EQ(body, "Basic YW5hOnMzY3JldA==");  // ana:s3cret
    EXPECT_EQ(m_Server.Requests().front().Header("Host"), "origin.invalid");

    const size_t nSeen = m_Server.Requests().size();
    m_Client.SetProxy(TProxySettings{"127.0.0.1", m_Server.Port(), "socks5", "", ""});
    try {
        m_Client.Get(target, body);
        ADD_FAILURE() << "a SOCKS proxy was used";
    } catch (const THttpError& e) {
        EXPECT_NE(std::string(e.what()).find("SOCKS"), std::string::npos) << e.what();
    }
    EXPECT_EQ(m_Server.Requests().size(), nSeen);

    m_Client.SetProxy(TProxySettings{});
    m_Server.Route("/direct", Answer(200, "OK", "d"));
    EXPECT_EQ(m_Client.Get(m_Server.Url("/direct"), body).nStatus, 200);
    EXPECT_EQ(m_Server.Hits("/direct"), 1);
}

// The report goes as it always has: POST, HTTP/1.0, the old browser's
// headers and the body byte for byte; anything but an answer below 400 fails.
TEST(ErrorReportDeliveryWindows, PostsTheReportAsSentAndFailsOnWhatIsNoDelivery) {
    TLocalServer server;
    server.Route("/software/error", Answer(200, "OK", "OK"));
    server.Route("/broken", Answer(500, "Internal Server Error", ""));
    server.Route("/silent", Silent());
    const std::string body = "strHardID=AB&str_error=a%26b\r\nline two \xc3\xa7&bSilentMode=1";
    EXPECT_EQ(PostErrorReport({server.Url("/software/error"), body}), 200);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].strLine, "POST /software/error HTTP/1.0");
    EXPECT_EQ(requests[0].strBody, body);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0");
    EXPECT_EQ(requests[0].Header("Accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(requests[0].Header("Content-Length"), std::to_string(body.size()));

    int nClosed = 0;
    {
        TLocalServer closed;
        nClosed = closed.Port();
    }
    struct TCase {
        const char* szLabel;
        std::string strUrl;
        std::string strReason;
        std::chrono::seconds tAtMost;
    };
    const std::vector<TCase> cases = {
        {"status 500", server.Url("/broken"), "status 500", 3s},
        {"no answer within the idle limit", server.Url("/silent"), "Timeout", 6s},
        {"refused connection", "http://127.0.0.1:" + std::to_string(nClosed) + "/software/error", "connect", 3s},
        {"reserved .invalid host", "http://errors.orladesk.invalid/software/error", ".invalid", 1s},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.szLabel);
        const auto tStart = TClock::now();
        try {
            PostErrorReport({c.strUrl, "x=1", 2s, 2000ms});
            ADD_FAILURE() << "delivered";
        } catch (const TReportDeliveryError& e) {
            EXPECT_NE(std::string(e.what()).find(c.strReason), std::string::npos) << e.what();
        }
        EXPECT_LT(TClock::now() - tStart, c.tAtMost);
    }
}

}  // namespace
