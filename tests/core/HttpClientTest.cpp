#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "service/HttpClient.h"
#include "support/LocalHttpServer.h"
#include "support/ProxyEnv.h"

namespace {

using namespace std::chrono_literals;

std::set<std::string> HeaderNames(const TRecordedRequest& request) {
    std::set<std::string> names;
    for (const auto& header : request.lstHeaders) names.insert(header.first);
    return names;
}

std::string Gzip(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
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

class HttpClientTest : public ::testing::Test {
protected:
    void TearDown() override { m_Server.Stop(); }

    TProxyEnv m_ProxyEnv;
    LocalHttpServer m_Server;
    THttpClient m_Client;
};

// A server that keeps a transfer alive with a byte now and then cannot hold
// it: the average-speed floor ends it, and so does the deadline, whichever
// comes first. A body beyond the caller's limit ends it at once.
TEST_F(HttpClientTest, TrickleAndEndlessBodiesAreEndedByTheirLimits) {
    TReply trickle{200, "0123456789"};
    trickle.Fault = TReply::TFault::Trickle;
    trickle.tStall = 200ms;
    m_Server.Route("/trickle", trickle);
    std::string body;
    m_Client.SetLowSpeedLimit(1024, 2s);
    EXPECT_THROW(m_Client.Get(m_Server.Url("/trickle"), body), THttpError);
    m_Client.SetLowSpeedLimit(1, 60s);
    m_Client.SetTransferDeadline(1500ms);
    EXPECT_THROW(m_Client.Get(m_Server.Url("/trickle"), body), THttpError);
    m_Client.SetTransferDeadline({});

    TReply endless{200, std::string(4096, 'e')};
    endless.Fault = TReply::TFault::EndlessBody;
    m_Server.Route("/endless", endless);
    EXPECT_THROW(m_Client.Get(m_Server.Url("/endless"), body, 512), std::length_error);
    EXPECT_LE(body.size(), 512u);
    m_Server.Route("/small", TReply{200, "1.82"});
    m_Client.Get(m_Server.Url("/small"), body, 512);
    EXPECT_EQ(body, "1.82");
}

TEST_F(HttpClientTest, ReadsStatusTextLengthAndBodyWithProgress) {
    const std::string payload(300000, 'x');
    m_Server.Route("/files/abc", TReply{200, payload});
    std::vector<uint64_t> samples;
    m_Client.SetProgressCallback([&](uint64_t n) { samples.push_back(n); });

    std::string body = "stale";
    const THttpResponse response = m_Client.Get(m_Server.Url("/files/abc"), body);

    EXPECT_EQ(response.nStatus, 200);
    EXPECT_EQ(response.strStatusText, "OK");
    EXPECT_EQ(response.nContentLength, 300000);
    EXPECT_EQ(response.nReceived, 300000u);
    EXPECT_EQ(body, payload);
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(std::is_sorted(samples.begin(), samples.end()));
    EXPECT_EQ(samples.back(), 300000u);
}

TEST_F(HttpClientTest, ErrorStatusIsAnAnswerNotAFailure) {
    m_Server.Route("/missing", TReply{404, "gone"});
    m_Server.Route("/broken", TReply{503, ""});
    std::vector<uint8_t> body;

    const THttpResponse notFound = m_Client.Get(m_Server.Url("/missing"), body);
    EXPECT_EQ(notFound.nStatus, 404);
    EXPECT_EQ(notFound.strStatusText, "Not Found");
    EXPECT_EQ(std::string(body.begin(), body.end()), "gone");

    const THttpResponse unavailable = m_Client.Get(m_Server.Url("/broken"), body);
    EXPECT_EQ(unavailable.nStatus, 503);
    EXPECT_EQ(unavailable.strStatusText, "Service Unavailable");
    EXPECT_EQ(unavailable.nContentLength, 0);
    EXPECT_TRUE(body.empty());
}

TEST_F(HttpClientTest, RedirectionIsReturnedNotFollowed) {
    m_Server.Route("/old", TReply{302, "", "text/plain", {{"Location", "/new"}}});
    std::string body;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/old"), body).nStatus, 302);
    EXPECT_EQ(m_Server.HitCount("/new"), 0);
}

TEST_F(HttpClientTest, AnswerWithoutContentLengthHasLengthMinusOne) {
    m_Server.Route("/stream", TReply{200, "abcdef", "text/plain", {}, TReply::TFault::NoContentLength});
    std::string body;
    const THttpResponse response = m_Client.Get(m_Server.Url("/stream"), body);
    EXPECT_EQ(response.nStatus, 200);
    EXPECT_EQ(response.nContentLength, -1);
    EXPECT_EQ(body, "abcdef");
}

TEST_F(HttpClientTest, ConsecutiveRequestsReuseTheConnection) {
    m_Server.Route("/a", TReply{200, "1"});
    m_Server.Route("/b", TReply{200, "2"});
    std::string body;
    m_Client.Get(m_Server.Url("/a"), body);
    m_Client.Get(m_Server.Url("/b"), body);
    const auto requests = m_Server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].nRemotePort, requests[1].nRemotePort);
}

// What goes on the wire is exactly what the owner configured, plus Host.
TEST_F(HttpClientTest, SendsOnlyTheConfiguredHeaders) {
    m_Server.Route("/q", TReply{200, "{}"});
    std::string body;

    m_Client.Get(m_Server.Url("/q"), body);
    m_Client.SetHeaders({"Connection: Keep-Alive"});
    m_Client.Get(m_Server.Url("/q"), body);
    m_Client.SetHeaders({});
    m_Client.SetAcceptEncoding("gzip, deflate");
    m_Client.Get(m_Server.Url("/q"), body);

    const auto requests = m_Server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(HeaderNames(requests[0]), (std::set<std::string>{"Host"}));
    EXPECT_EQ(HeaderNames(requests[1]), (std::set<std::string>{"Host", "Connection"}));
    EXPECT_EQ(requests[1].Header("Connection"), "Keep-Alive");
    EXPECT_EQ(HeaderNames(requests[2]), (std::set<std::string>{"Host", "Accept-Encoding"}));
    EXPECT_EQ(requests[2].Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(requests[0].Header("Host"), "127.0.0.1:" + std::to_string(m_Server.Port()));
}

TEST_F(HttpClientTest, GzipBodyIsDecodedWhileContentLengthStaysAsSent) {
    const std::string text(50000, 'z');
    const std::string packed = Gzip(text);
    m_Server.Route("/z", TReply{200, packed, "application/octet-stream", {{"Content-Encoding", "gzip"}}});
    m_Client.SetAcceptEncoding("gzip, deflate");
    std::string body;
    const THttpResponse response = m_Client.Get(m_Server.Url("/z"), body);
    EXPECT_EQ(body, text);
    EXPECT_EQ(response.nReceived, text.size());
    EXPECT_EQ(response.nContentLength, static_cast<int64_t>(packed.size()));
}

struct FailureCase {
    const char* name;
    TReply reply;
};

class HttpClientFailure : public HttpClientTest, public ::testing::WithParamInterface<FailureCase> {};

// A server that stops short, stalls or resets gives a failure within the
// low-speed window, never a hang and never a silent success.
TEST_P(HttpClientFailure, ThrowsInsteadOfReturningPartialData) {
    m_Server.Route("/f", GetParam().reply);
    m_Client.SetLowSpeedLimit(1, 1s);
    std::string body;
    const auto start = std::chrono::steady_clock::now();
    try {
        m_Client.Get(m_Server.Url("/f"), body);
        ADD_FAILURE() << "no failure";
    } catch (const THttpError& e) {
        EXPECT_FALSE(e.IsAborted()) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

const std::string kBody(20000, 'b');
INSTANTIATE_TEST_SUITE_P(
    Cases, HttpClientFailure,
    ::testing::Values(
        FailureCase{"ShortBody", TReply{200, kBody, "application/zip", {}, TReply::TFault::ShortBody, 1}},
        FailureCase{"StallMidBody", TReply{200, "abcd", "application/zip", {}, TReply::TFault::StallMidBody, 1, 30s}},
        FailureCase{"StallBeforeHeaders",
                    TReply{200, kBody, "application/zip", {}, TReply::TFault::StallBeforeHeaders, 1, 30s}},
        FailureCase{"ResetMidBody", TReply{200, kBody, "application/zip", {}, TReply::TFault::ResetMidBody}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

struct AbortCase {
    const char* label;
    TReply reply;
    std::chrono::milliseconds tAbortAfter;  // negative: the check never answers true
    std::string strBodyKept;                // what reached the sink
};

// The low-speed limit stays at its 30 s: only the abort check can end these
// stalls as soon as the test asserts.
TEST_F(HttpClientTest, AbortCheckEndsARequestEvenWhileNoDataFlows) {
    const std::string body(40000, 'q');
    TReply midBody{200, body, "application/zip", {}, TReply::TFault::StallMidBody, 1, 60s};
    TReply beforeHeaders{200, body, "application/zip", {}, TReply::TFault::StallBeforeHeaders, 1, 60s};
    const std::vector<AbortCase> cases = {
        {"stall in the middle of the body", midBody, 300ms, body.substr(0, body.size() / 2)},
        {"stall before the headers", beforeHeaders, 300ms, ""},
        {"true before the request starts", TReply{200, body}, 0ms, ""},
        {"never true", TReply{200, body}, -1ms, body},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.label);
        m_Server.Route("/f", c.reply);
        const auto start = std::chrono::steady_clock::now();
        int nAsked = 0;
        m_Client.SetAbortCheck([&] {
            ++nAsked;
            return c.tAbortAfter.count() >= 0 && std::chrono::steady_clock::now() - start >= c.tAbortAfter;
        });
        std::string received;
        bool bAborted = false;
        try {
            m_Client.Get(m_Server.Url("/f"), received);
        } catch (const THttpError& e) {
            bAborted = e.IsAborted();
            EXPECT_TRUE(bAborted) << e.Code() << " " << e.what();
        }
        EXPECT_EQ(bAborted, c.tAbortAfter.count() >= 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        EXPECT_GT(nAsked, 0);
        EXPECT_EQ(received, c.strBodyKept);
    }
    // The client stays usable once its check is detached.
    m_Client.SetAbortCheck({});
    m_Server.Route("/f", TReply{200, "after"});
    std::string after;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/f"), after).nStatus, 200);
    EXPECT_EQ(after, "after");
}

TEST(HttpClient, RefusedConnectionCarriesCurlCodeAndErrno) {
    int nPort = 0;
    {
        LocalHttpServer closed;
        nPort = closed.Port();
    }
    THttpClient client;
    std::string body;
    try {
        client.Get("http://127.0.0.1:" + std::to_string(nPort) + "/x", body);
        FAIL() << "no failure";
    } catch (const THttpError& e) {
        EXPECT_EQ(e.Code(), 7);  // CURLE_COULDNT_CONNECT
        EXPECT_EQ(e.OsError(), ECONNREFUSED);
        EXPECT_FALSE(e.IsTlsFailure());
        EXPECT_FALSE(e.IsAborted());
        EXPECT_NE(std::string(e.what()).find(std::to_string(nPort)), std::string::npos) << e.what();
    }
}

TEST_F(HttpClientTest, HttpsToAPlainServerIsATlsFailure) {
    m_Server.SetFailOnUnexpected(false);
    std::string body;
    try {
        m_Client.Get("https://127.0.0.1:" + std::to_string(m_Server.Port()) + "/x", body);
        FAIL() << "no failure";
    } catch (const THttpError& e) {
        EXPECT_TRUE(e.IsTlsFailure()) << e.Code() << " " << e.what();
    }
}

TEST_F(HttpClientTest, FailureInTheSinkReachesTheCallerUnchanged) {
    m_Server.Route("/big", TReply{200, std::string(100000, 'q')});
    struct TFullSink : IHttpBodySink {
        void Write(const char*, size_t) override { throw std::length_error("buffer full"); }
    } sink;
    EXPECT_THROW(m_Client.Get(m_Server.Url("/big"), sink), std::length_error);
    // The handle stays usable after an aborted transfer.
    std::string body;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/big"), body).nStatus, 200);
    EXPECT_EQ(body.size(), 100000u);
}

TEST_F(HttpClientTest, ReservesTheAnnouncedLength) {
    m_Server.Route("/r", TReply{200, std::string(12345, 'r')});
    struct TRecordingSink : IHttpBodySink {
        void Reserve(uint64_t n) override { nReserved = n; }
        void Write(const char*, size_t n) override { nWritten += n; }
        uint64_t nReserved = 0;
        uint64_t nWritten = 0;
    } sink;
    m_Client.Get(m_Server.Url("/r"), sink);
    EXPECT_EQ(sink.nReserved, 12345u);
    EXPECT_EQ(sink.nWritten, 12345u);
}

// A proxy stand-in: a second local server that sees the absolute-form request.
class HttpClientProxyTest : public HttpClientTest {
protected:
    void TearDown() override {
        m_Proxy.Stop();
        HttpClientTest::TearDown();
    }
    LocalHttpServer m_Proxy;
};

TEST_F(HttpClientProxyTest, EnvironmentProxyIsIgnoredWithoutASetting) {
    m_ProxyEnv.Set("http_proxy", m_Proxy.BaseUrl().c_str());
    m_ProxyEnv.Set("HTTP_PROXY", m_Proxy.BaseUrl().c_str());
    m_Server.Route("/direct", TReply{200, "d"});
    std::string body;
    EXPECT_EQ(m_Client.Get(m_Server.Url("/direct"), body).nStatus, 200);
    m_Client.SetProxy(TProxySettings{});
    EXPECT_EQ(m_Client.Get(m_Server.Url("/direct"), body).nStatus, 200);
    EXPECT_EQ(m_Server.HitCount("/direct"), 2);
    EXPECT_TRUE(m_Proxy.Requests().empty());
}

TEST_F(HttpClientProxyTest, CredentialsAreOfferedWhenTheProxyAsks) {
    const std::string target = "http://origin.invalid/version/x";
    m_Proxy.Route(target, [](const TRecordedRequest& request, int) {
        if (request.Header("Proxy-Authorization").empty())
            return TReply{407, "", "text/plain", {{"Proxy-Authenticate", "Basic realm=\"corp\""}}};
        return TReply{200, request.Header("Proxy-Authorization")};
    });
    const TProxySettings settings{"127.0.0.1", m_Proxy.Port(), "", "ana", "s3cret"};
    m_Client.SetProxy(settings);
    EXPECT_EQ(m_Client.GetProxySettings().FPassword, "s3cret");

    std::string body;
    const THttpResponse response = m_Client.Get(target, body);
    EXPECT_EQ(response.nStatus, 200);
    EXPECT_EQ(body, "Basic YW5hOnMzY3JldA==");  // ana:s3cret
    ASSERT_FALSE(m_Proxy.Requests().empty());
    EXPECT_EQ(m_Proxy.Requests().front().Header("Host"), "origin.invalid");

    // Dropping the proxy again goes direct.
    m_Client.SetProxy(TProxySettings{});
    m_Server.Route("/after", TReply{200, ""});
    EXPECT_EQ(m_Client.Get(m_Server.Url("/after"), body).nStatus, 200);
    EXPECT_EQ(m_Server.HitCount("/after"), 1);
}

}  // namespace
