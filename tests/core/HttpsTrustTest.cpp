#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "service/HttpClient.h"
#include "service/VersionClient.h"
#include "support/ProxyEnv.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace {

// An HTTPS server on 127.0.0.1 whose certificate no system store trusts: one
// signed by the tests' own certificate authority.
class HttpsTrustTest : public ::testing::Test {
protected:
    void SetUp() override {
        const TestCertificates& certificates = TestCertificates::Shared();
        m_pServer = std::make_unique<httplib::SSLServer>(certificates.ServerPem().c_str(),
                                                         certificates.ServerKey().c_str());
        ASSERT_TRUE(m_pServer->is_valid());
        m_pServer->Get("/version/x", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"major":1,"minor":2,"release":3,"build":4,"video":"","is_latest":false,
                "bugged":false,"changes":[],"files":[]})",
                            "application/json");
        });
        m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
        ASSERT_GT(m_nPort, 0);
        m_Thread = std::thread([this] { m_pServer->listen_after_bind(); });
        while (!m_pServer->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        if (m_pServer) m_pServer->stop();
        if (m_Thread.joinable()) m_Thread.join();
        if (m_strSavedBundle) setenv("ORLADESK_CA_BUNDLE", m_strSavedBundle->c_str(), 1);
        else unsetenv("ORLADESK_CA_BUNDLE");
    }
    void SetBundle(const char* path) {
        if (const char* old = std::getenv("ORLADESK_CA_BUNDLE"); old && !m_strSavedBundle) m_strSavedBundle = old;
        if (path) setenv("ORLADESK_CA_BUNDLE", path, 1);
        else unsetenv("ORLADESK_CA_BUNDLE");
    }
    std::string Url() const { return "https://127.0.0.1:" + std::to_string(m_nPort) + "/version/x"; }

    TProxyEnv m_ProxyEnv;
    TempDir m_Dir;
    std::unique_ptr<httplib::SSLServer> m_pServer;
    std::thread m_Thread;
    int m_nPort = 0;
    std::optional<std::string> m_strSavedBundle;
};

TEST_F(HttpsTrustTest, UntrustedCertificateIsTheSecureChannelFailure) {
    SetBundle(nullptr);
    TVantixVersion version;
    std::string text;
    int32_t nLastError = 0;
    EXPECT_FALSE(ReadVersionInfo(Url(), version, text, nullptr, nLastError));
    EXPECT_EQ(nLastError, kSecureChannelFailure);
    EXPECT_EQ(text.rfind("Exception=\"", 0), 0u) << text;
    EXPECT_NE(text.find("\" LastErrorCode=12175 URL=\"" + Url() + "\""), std::string::npos) << text;
}

// ORLADESK_CA_BUNDLE adds certificates to the trusted ones for staging servers.
TEST_F(HttpsTrustTest, ExtraBundleMakesTheServerTrusted) {
    SetBundle(TestCertificates::Shared().CaPem().c_str());
    TVantixVersion version;
    std::string text;
    int32_t nLastError = -1;
    EXPECT_TRUE(ReadVersionInfo(Url(), version, text, nullptr, nLastError)) << text;
    EXPECT_EQ(nLastError, 0);
    EXPECT_EQ(version.nBuild, 4);
}

TEST_F(HttpsTrustTest, UnreadableBundleIsAFailureNotIgnored) {
    SetBundle((m_Dir / "missing.pem").c_str());
    THttpClient client;
    std::string body;
    try {
        client.Get(Url(), body);
        FAIL() << "no failure";
    } catch (const THttpError& e) {
        EXPECT_TRUE(e.IsTlsFailure()) << e.Code() << " " << e.what();
    }
}

}  // namespace
