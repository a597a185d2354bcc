#include <gtest/gtest.h>

#include "service/ProxySettings.h"
#include "support/ProxyEnv.h"

namespace {

struct SystemProxyCase {
    const char* variable;  // nullptr: nothing set
    const char* value;
    bool bFound;
    const char* host;
    const char* port;
    int32_t nPort;  // as ProxyFromSystem gives it
    const char* user = "";
    const char* password = "";
};

class SystemProxyTest : public ::testing::TestWithParam<SystemProxyCase> {
protected:
    TProxyEnv m_Env;
};

TEST_P(SystemProxyTest, ReducesTheEnvironmentToHostAndPort) {
    const SystemProxyCase& c = GetParam();
    if (c.variable != nullptr) m_Env.Set(c.variable, c.value);

    std::string host = "stale", port = "stale";
    EXPECT_EQ(GetSystemProxy(host, port), c.bFound);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);

    const TProxySettings settings = ProxyFromSystem();
    EXPECT_EQ(settings.FHost, c.bFound ? c.host : "");
    EXPECT_EQ(settings.FPort, c.nPort);
    EXPECT_EQ(settings.FUserName, c.user);
    EXPECT_EQ(settings.FPassword, c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SystemProxyTest,
    ::testing::Values(
        SystemProxyCase{"https_proxy", "proxy.corp:8080", true, "proxy.corp", "8080", 8080},
        SystemProxyCase{"HTTP_PROXY", "http://user:pw@h:3128/", true, "h", "3128", 3128, "user", "pw"},
        SystemProxyCase{"http_proxy", "http://us@er:p:w@h:3128/path/x", true, "h", "3128", 3128, "us@er", "p:w"},
        SystemProxyCase{"http_proxy", "http://a%40b:p%25w@h:3128", true, "h", "3128", 3128, "a@b", "p%w"},
        SystemProxyCase{"HTTPS_PROXY", "http=h:80;https=h:443", true, "http=h", "80;https=h:443", 0},
        SystemProxyCase{"https_proxy", "http://[::1]:3128", true, "[::1]", "3128", 3128},
        SystemProxyCase{"https_proxy", "proxy.corp", false, "", "", 0},
        SystemProxyCase{"https_proxy", "proxy.corp:", false, "proxy.corp", "", 0},
        SystemProxyCase{"https_proxy", "h:99999", true, "h", "99999", 0},
        SystemProxyCase{"https_proxy", "   ", false, "", "", 0},
        SystemProxyCase{nullptr, "", false, "", "", 0}));

TEST(SystemProxy, HttpsVariablesComeFirstAndLowerCaseBeforeUpperCase) {
    TProxyEnv env;
    env.Set("HTTP_PROXY", "upper-http:1");
    env.Set("http_proxy", "lower-http:2");
    env.Set("HTTPS_PROXY", "upper-https:3");
    env.Set("https_proxy", "lower-https:4");
    std::string host, port;

    ASSERT_TRUE(GetSystemProxy(host, port));
    EXPECT_EQ(host, "lower-https");
    env.Set("https_proxy", nullptr);
    ASSERT_TRUE(GetSystemProxy(host, port));
    EXPECT_EQ(host, "upper-https");
    env.Set("HTTPS_PROXY", nullptr);
    ASSERT_TRUE(GetSystemProxy(host, port));
    EXPECT_EQ(host, "lower-http");
    env.Set("http_proxy", nullptr);
    ASSERT_TRUE(GetSystemProxy(host, port));
    EXPECT_EQ(host, "upper-http");
}

TEST(SystemProxy, OnlyASocks5SchemeIsKept) {
    TProxyEnv env;
    env.Set("https_proxy", "socks5h://s.corp:1080");
    EXPECT_EQ(ProxyFromSystem().FScheme, "socks5");
    env.Set("https_proxy", "SOCKS5://s.corp:1080");
    EXPECT_EQ(ProxyFromSystem().FScheme, "socks5");
    env.Set("https_proxy", "http://h.corp:3128");
    EXPECT_EQ(ProxyFromSystem().FScheme, "");
}

}  // namespace
