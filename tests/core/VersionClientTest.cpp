#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "service/VersionClient.h"
#include "support/LocalHttpServer.h"
#include "support/ProxyEnv.h"
#include "release/SignatureFile.h"

namespace {

struct UrlCase {
    const char* name;
    TVersionQuery query;
    const char* expected;
};

TVersionQuery Query(TVersionChannel from, TVersionChannel to, const char* fromVersion = "",
                    bool bDev = false, bool bX64 = false, bool bMandatory = false) {
    TVersionQuery query;
    query.strBaseUrl = "http://dl.test";
    query.strProduct = "orladesk";
    query.strFromVersion = fromVersion;
    query.FromChannel = from;
    query.ToChannel = to;
    query.bDev = bDev;
    query.strSuffix = "pt-br";
    query.bX64 = bX64;
    query.bMandatory = bMandatory;
    return query;
}

class VersionUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(VersionUrl, FollowsTheFormRules) {
    EXPECT_EQ(BuildVersionUrl(GetParam().query), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionUrl,
    ::testing::Values(
        UrlCase{"AlphaToStable", Query(vcAlpha, vcStable), "http://dl.test/version/orladesk/alpha/to/stable/pt-br"},
        UrlCase{"X64", Query(vcAlpha, vcStable, "", false, true),
                "http://dl.test/version/orladesk/alpha/to/stable/pt-br_x64"},
        UrlCase{"DevBeforeX64", Query(vcAlpha, vcStable, "", true, true),
                "http://dl.test/version/orladesk/alpha/to/stable/pt-br_dev_x64"},
        UrlCase{"Dev", Query(vcBeta, vcRarely, "1.2", true), "http://dl.test/version/orladesk/beta/to/rarely/pt-br_dev"},
        UrlCase{"FromVersionUnusedAcrossChannels", Query(vcStaging, vcBeta, "9.9"),
                "http://dl.test/version/orladesk/staging/to/beta/pt-br"},
        UrlCase{"EqualChannelsLatest", Query(vcBeta, vcBeta, "5.12.3.4077"),
                "http://dl.test/version/orladesk/beta/5.12.3.4077/to/latest/pt-br"},
        UrlCase{"EqualChannelsEmptyVersion", Query(vcStable, vcStable),
                "http://dl.test/version/orladesk/stable//to/latest/pt-br"},
        UrlCase{"MandatoryBeatsEqualChannels", Query(vcStable, vcStable, "5.1", false, false, true),
                "http://dl.test/version/orladesk/stable/5.1/to/mandatory/pt-br"},
        UrlCase{"MandatoryUsesFromChannel", Query(vcAlpha, vcStable, "5.1", false, true, true),
                "http://dl.test/version/orladesk/alpha/5.1/to/mandatory/pt-br_x64"}),
    [](const ::testing::TestParamInfo<UrlCase>& info) { return std::string(info.param.name); });

TEST(VersionUrl, ChannelWords) {
    EXPECT_STREQ(ChannelName(vcStable), "stable");
    EXPECT_STREQ(ChannelName(vcBeta), "beta");
    EXPECT_STREQ(ChannelName(vcStaging), "staging");
    EXPECT_STREQ(ChannelName(vcAlpha), "alpha");
    EXPECT_STREQ(ChannelName(vcRarely), "rarely");
    EXPECT_THROW(ChannelName(static_cast<TVersionChannel>(5)), std::out_of_range);
}

const char* const kDocument = R"({"major":5,"minor":12,"release":3,"build":4077,"video":"",
    "is_latest":true,"bugged":false,"changes":["a"],
    "files":[{"file":"bin/app.exe","md5":"0123abcd","size":42}]})";

const char* const kVersionPath = "/version/orladesk/alpha/to/stable/pt-br_x64";

// The query the engine's download set-up makes.
TVersionQuery DownloadSetUpQuery(const std::string& baseUrl) {
    TVersionQuery query;
    query.strBaseUrl = baseUrl;
    query.strProduct = "orladesk";
    query.FromChannel = vcAlpha;
    query.ToChannel = vcStable;
    query.strSuffix = "pt-br";
    query.bX64 = true;
    return query;
}

class VersionClientTest : public ::testing::Test {
protected:
    void TearDown() override { m_Server.Stop(); }

    std::string Url(const std::string& path = kVersionPath) const { return m_Server.Url(path); }
    std::string UrlPart(const std::string& path = kVersionPath) const { return "URL=\"" + Url(path) + "\""; }

    TProxyEnv m_ProxyEnv;
    LocalHttpServer m_Server;
    TVantixVersion m_Version;
    std::string m_strText = "stale";
    int32_t m_nLastError = -1;
};

TEST_F(VersionClientTest, QueryAsTheDownloadSetUpMakesIt) {
    m_Server.Route(kVersionPath, TReply{200, kDocument, "application/json"});
    const TProxySettings noHost;
    TVersionQuery query = DownloadSetUpQuery(m_Server.BaseUrl());

    ASSERT_TRUE(GetVersionInfo(query, m_Version, m_strText, m_nLastError, &noHost)) << m_strText;
    EXPECT_EQ(m_strText, UrlPart() + " Proxy=True");
    EXPECT_EQ(m_nLastError, 0);
    EXPECT_EQ(m_Version.nBuild, 4077);
    ASSERT_EQ(m_Version.lstFiles.size(), 1u);
    EXPECT_EQ(m_Version.lstFiles[0]->strFile, "bin\\app.exe");
    EXPECT_EQ(m_Version.lstFiles[0]->nFileSize, 42u);
}

// Host and "Connection: Keep-Alive", nothing else: no user agent, no Accept.
TEST_F(VersionClientTest, SendsOnlyHostAndKeepAlive) {
    m_Server.Route(kVersionPath, TReply{200, kDocument, "application/json"});
    ASSERT_TRUE(ReadVersionInfo(Url(), m_Version, m_strText, nullptr, m_nLastError));

    const auto requests = m_Server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].strMethod, "GET");
    std::set<std::pair<std::string, std::string>> headers(requests[0].lstHeaders.begin(),
                                                          requests[0].lstHeaders.end());
    const std::set<std::pair<std::string, std::string>> expected = {
        {"Host", "127.0.0.1:" + std::to_string(m_Server.Port())}, {"Connection", "Keep-Alive"}};
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(m_strText, UrlPart());  // no proxy record: no proxy mark
}

class VersionClientStatus : public VersionClientTest, public ::testing::WithParamInterface<int> {};

TEST_P(VersionClientStatus, OtherStatusFailsWithoutErrorCode) {
    const int nStatus = GetParam();
    m_Server.Route(kVersionPath, TReply{nStatus, nStatus == 304 ? "" : kDocument});
    const TProxySettings noHost;
    EXPECT_FALSE(ReadVersionInfo(Url(), m_Version, m_strText, &noHost, m_nLastError));
    EXPECT_EQ(m_strText, "StatusCode=" + std::to_string(nStatus) + " " + UrlPart() + " Proxy=True");
    EXPECT_EQ(m_nLastError, 0);
    EXPECT_EQ(m_Version.nBuild, 0);  // the body of a failed answer is never read
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionClientStatus, ::testing::Values(404, 500, 304, 302, 201));

struct BodyCase {
    const char* name;
    const char* body;
    const char* messagePart;
};

class VersionClientBody : public VersionClientTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(VersionClientBody, UnusableBodyIsAnException) {
    m_Server.Route(kVersionPath, TReply{200, GetParam().body, "application/json"});
    EXPECT_FALSE(ReadVersionInfo(Url(), m_Version, m_strText, nullptr, m_nLastError));
    const std::string prefix = "Exception=\"";
    ASSERT_EQ(m_strText.rfind(prefix, 0), 0u) << m_strText;
    EXPECT_NE(m_strText.find(GetParam().messagePart), std::string::npos) << m_strText;
    const std::string suffix = "\" LastErrorCode=0 " + UrlPart();
    ASSERT_GE(m_strText.size(), suffix.size());
    EXPECT_EQ(m_strText.substr(m_strText.size() - suffix.size()), suffix) << m_strText;
    EXPECT_EQ(m_nLastError, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionClientBody,
    ::testing::Values(BodyCase{"NotJson", "<html>maintenance</html>", "Invalid JSON"},
                      BodyCase{"Empty", "", "Invalid JSON"},
                      BodyCase{"WithoutMajor", R"({"minor":1})", "\"major\""}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.name); });

// Announced or not, a document past the bound is refused, never held whole.
TEST_F(VersionClientTest, OversizedDocumentIsRefused) {
    std::string body = R"({"major":5,"changes":[")";
    body.resize(kMaxVersionDocumentSize + 1, 'x');
    for (auto fault : {TReply::TFault::None, TReply::TFault::NoContentLength}) {
        m_Server.Route(kVersionPath, TReply{200, body, "application/json", {}, fault});
        EXPECT_FALSE(ReadVersionInfo(Url(), m_Version, m_strText, nullptr, m_nLastError));
        EXPECT_EQ(m_strText, "Exception=\"Version document larger than 16777216 bytes\" LastErrorCode=0 " + UrlPart());
        EXPECT_EQ(m_nLastError, 0);
    }
}

TEST_F(VersionClientTest, RefusedConnectionGivesTheCurlCode) {
    const std::string url = "http://127.0.0.1:" + std::to_string(m_Server.Port()) + kVersionPath;
    m_Server.Stop();
    EXPECT_FALSE(ReadVersionInfo(url, m_Version, m_strText, nullptr, m_nLastError));
    EXPECT_EQ(m_nLastError, 7);  // CURLE_COULDNT_CONNECT
    EXPECT_EQ(m_strText.rfind("Exception=\"", 0), 0u) << m_strText;
    EXPECT_NE(m_strText.find("\" LastErrorCode=7 URL=\"" + url + "\""), std::string::npos) << m_strText;
}

TEST_F(VersionClientTest, TlsFailureGivesTheSecureChannelCode) {
    m_Server.SetFailOnUnexpected(false);
    const std::string url = "https://127.0.0.1:" + std::to_string(m_Server.Port()) + kVersionPath;
    EXPECT_FALSE(ReadVersionInfo(url, m_Version, m_strText, nullptr, m_nLastError));
    EXPECT_EQ(m_nLastError, kSecureChannelFailure);
    EXPECT_NE(m_strText.find("LastErrorCode=12175 URL="), std::string::npos) << m_strText;
}

// A proxy record without a host still marks the text, but the request goes
// direct, environment proxies included.
TEST_F(VersionClientTest, ProxyWithoutHostGoesDirect) {
    LocalHttpServer proxy;
    m_ProxyEnv.Set("http_proxy", proxy.BaseUrl().c_str());
    m_Server.Route(kVersionPath, TReply{200, kDocument, "application/json"});
    const TProxySettings noHost{"", 3128, "", "user", "pw"};

    EXPECT_TRUE(ReadVersionInfo(Url(), m_Version, m_strText, &noHost, m_nLastError)) << m_strText;
    EXPECT_EQ(m_strText, UrlPart() + " Proxy=True");
    EXPECT_EQ(m_Server.HitCount(kVersionPath), 1);
    proxy.Stop();
    EXPECT_TRUE(proxy.Requests().empty());
}

TEST_F(VersionClientTest, ProxyWithHostCarriesTheRequest) {
    LocalHttpServer proxy;
    const std::string url = "http://dl.orladesk.invalid/version/orladesk/alpha/to/stable/pt-br";
    proxy.Route(url, TReply{200, kDocument, "application/json"});
    const TProxySettings settings{"127.0.0.1", proxy.Port(), "", "", ""};

    EXPECT_TRUE(ReadVersionInfo(url, m_Version, m_strText, &settings, m_nLastError)) << m_strText;
    EXPECT_EQ(m_strText, "URL=\"" + url + "\" Proxy=True");
    EXPECT_EQ(proxy.HitCount(url), 1);
    proxy.Stop();
}

// The scheme travels with the proxy: a SOCKS proxy is never sent an HTTP
// request (the stand-in, an HTTP server, would have recorded it).
TEST_F(VersionClientTest, Socks5ProxyIsSpokenToAsSocks) {
    LocalHttpServer proxy;
    proxy.SetFailOnUnexpected(false);
    const std::string url = "http://dl.orladesk.invalid/version/orladesk/alpha/to/stable/pt-br";
    const TProxySettings settings{"127.0.0.1", proxy.Port(), "socks5", "", ""};

    EXPECT_FALSE(ReadVersionInfo(url, m_Version, m_strText, &settings, m_nLastError));
    EXPECT_EQ(m_strText.rfind("Exception=\"", 0), 0u) << m_strText;
    EXPECT_NE(m_nLastError, 0);
    proxy.Stop();
    EXPECT_TRUE(proxy.Requests().empty());
}

// ---- signed releases ----

std::string SignedDocument(const std::string& locale = "pt-br_x64",
                           const std::string& expires = "2099-01-01T00:00:00Z") {
    const std::string hash(64, 'c');
    return R"({"major":5,"minor":12,"release":3,"build":4077,"video":"","is_latest":true,"bugged":false,
        "answers":{"product":"orladesk","channel":"alpha/to/stable","locale":")" +
           locale + R"("},"expires":")" + expires + R"(","changes":[],
        "files":[{"file":"bin/app.exe","md5":"0123abcd","size":42,"sha256":")" +
           hash + R"(","package_sha256":")" + hash + R"("}]})";
}

class SignedVersionQuery : public VersionClientTest {
protected:
    // The query of the download set-up, with `keys` in force.
    bool Query(const std::string& keys) {
        TVersionQuery query = DownloadSetUpQuery(m_Server.BaseUrl());
        query.Trust.Keys = TReleaseKeys(keys);
        return GetVersionInfo(query, m_Version, m_strText, m_nLastError, nullptr);
    }
    void Serve(const std::string& document, const std::optional<TReply>& signature) {
        m_Server.Route(kVersionPath, TReply{200, document, "application/json"});
        if (signature) m_Server.Route(SigPath(), *signature);
    }
    static std::string SigPath() { return std::string(kVersionPath) + ".sig"; }

    const TSigningKey m_Key = TSigningKey::Generate();
    const TSigningKey m_OtherKey = TSigningKey::Generate();
};

TEST_F(SignedVersionQuery, ASignedDocumentIsVerifiedBeforeItIsRead) {
    const std::string document = SignedDocument();
    Serve(document, TReply{200, SignatureFileText(document, m_Key)});
    ASSERT_TRUE(Query(m_OtherKey.PublicKeyBase64() + "," + m_Key.PublicKeyBase64())) << m_strText;
    EXPECT_EQ(m_nLastError, 0);
    EXPECT_EQ(m_Version.nBuild, 4077);
    EXPECT_EQ(m_Version.lstFiles[0]->strSha256, std::string(64, 'c'));
    EXPECT_EQ(m_Server.HitCount(SigPath()), 1);
}

TEST_F(SignedVersionQuery, WithoutAKeyNoSignatureIsAskedFor) {
    Serve(kDocument, std::nullopt);
    ASSERT_TRUE(Query("")) << m_strText;
    EXPECT_EQ(m_Server.Requests().size(), 1u);
}

TEST_F(SignedVersionQuery, EachFaultIsARefusalWithItsReason) {
    const std::string document = SignedDocument();
    std::string changed = document;
    changed[changed.find("4077")] = '5';
    struct TCase {
        const char* szName;
        std::string strDocument;
        std::optional<TReply> signature;
        const char* szReason;
    };
    const std::vector<TCase> cases{
        {"no signature", document, TReply{404, ""}, "signature"},
        {"signed by an unknown key", document, TReply{200, SignatureFileText(document, m_OtherKey)}, "signature"},
        {"one byte changed", changed, TReply{200, SignatureFileText(document, m_Key)}, "signature"},
        {"not base64", document, TReply{200, "signed, honestly\n"}, "signature"},
        {"another locale's document", SignedDocument("pt-br"),
         TReply{200, SignatureFileText(SignedDocument("pt-br"), m_Key)}, "answers another query"},
        {"expired", SignedDocument("pt-br_x64", "2020-01-01T00:00:00Z"),
         TReply{200, SignatureFileText(SignedDocument("pt-br_x64", "2020-01-01T00:00:00Z"), m_Key)}, "expired"},
        {"unsigned document", kDocument, TReply{200, SignatureFileText(kDocument, m_Key)}, "answers another query"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.szName);
        Serve(c.strDocument, c.signature);
        m_Version = TVantixVersion{};
        EXPECT_FALSE(Query(m_Key.PublicKeyBase64()));
        EXPECT_EQ(m_nLastError, kReleaseRefused);
        EXPECT_EQ(m_strText.rfind("Refused=\"" + std::string(c.szReason) + "\" Reason=\"", 0), 0u) << m_strText;
        EXPECT_TRUE(m_strText.ends_with(UrlPart())) << m_strText;
    }
}

// A server that fails to answer for the signature is a failure to ask again,
// not a refusal; one that sends a signature without end is cut off at its
// limit like any endless body.
TEST_F(SignedVersionQuery, AFailedSignatureRequestIsAFailureNotARefusal) {
    Serve(SignedDocument(), TReply{503, ""});
    EXPECT_FALSE(Query(m_Key.PublicKeyBase64()));
    EXPECT_EQ(m_nLastError, 0);
    EXPECT_EQ(m_strText, "Exception=\"Signature answer StatusCode=503\" LastErrorCode=0 " + UrlPart());

    TReply endless{200, SignatureFileText(SignedDocument(), m_Key)};
    endless.Fault = TReply::TFault::EndlessBody;
    Serve(SignedDocument(), endless);
    EXPECT_FALSE(Query(m_Key.PublicKeyBase64()));
    EXPECT_NE(m_nLastError, kReleaseRefused);
    EXPECT_NE(m_strText.find("1024"), std::string::npos) << m_strText;
}

}  // namespace
