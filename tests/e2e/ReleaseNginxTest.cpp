// The production configuration, deploy/nginx.conf, run by Debian's nginx on a
// published release: every package and document must arrive byte for byte
// with the headers the installer relies on.
#include <gtest/gtest.h>

#include "SampleRelease.h"
#include "release/SigningKey.h"
#include "support/HttpFetch.h"
#include "support/NginxServer.h"

namespace fs = std::filesystem;

namespace {

class ReleaseNginxTest : public testing::Test {
protected:
    void SetUp() override {
        if (!NginxServer::Installed()) GTEST_SKIP() << "nginx is not installed";
        // nginx's workers run as another user when the test runs as root: they must reach the tree.
        fs::permissions(m_Dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
        PublishSampleRelease(m_Dir / "product", m_Dir / "tree");
        m_Nginx = std::make_unique<NginxServer>(m_Dir / "tree", m_Dir.path());
        ASSERT_TRUE(m_Nginx->Started()) << m_Nginx->FailureText();
        m_strBase = m_Nginx->BaseUrl();
    }

    TempDir m_Dir{"vxnginx"};
    std::unique_ptr<NginxServer> m_Nginx;
    std::string m_strBase;
};

// Every file of `tree` fetched from `base` arrives exactly, with the headers the installer relies on.
void ExpectServedByteForByte(const fs::path& tree, const std::string& base, std::size_t count,
                             const HttpRequestOptions& options) {
    HttpSession session;
    const std::vector<ServedFileExpectation> files = ListServedFiles(tree);
    ASSERT_EQ(files.size(), count);
    for (const ServedFileExpectation& file : files) {
        SCOPED_TRACE(file.strUrlPath);
        const std::string expected = ReadFileText(file.path);
        HttpAnswer answer = session.Get(base + file.strUrlPath, options);
        EXPECT_EQ(answer.nStatus, 200);
        EXPECT_EQ(answer.Header("content-type"), file.strContentType);
        EXPECT_EQ(answer.Header("content-length"), std::to_string(expected.size()));
        EXPECT_EQ(answer.Header("content-encoding"), "");
        EXPECT_EQ(answer.Header("transfer-encoding"), "");
        EXPECT_TRUE(answer.strBody == expected);
        if (file.strContentType == "application/zip")
            EXPECT_NE(answer.Header("cache-control").find("immutable"), std::string::npos);
        else
            EXPECT_EQ(answer.Header("cache-control"), "no-cache");
    }
    EXPECT_TRUE(session.Get(base + files.front().strUrlPath, options).bReusedConnection);
}

TEST_F(ReleaseNginxTest, ServesEveryPackageAndDocumentByteForByte) {
    ExpectServedByteForByte(m_Dir / "tree", m_strBase, 14, {.strAcceptEncoding = "gzip, deflate"});
}

// A signed release over TLS, as an edition with https:// URLs fetches it: the
// documents, their signatures, version.txt with its signature and the packages.
TEST_F(ReleaseNginxTest, ServesASignedReleaseOverTls) {
    WriteFileText(m_Dir / "release.key", TSigningKey::Generate().PrivatePem());
    PublishSampleRelease(m_Dir / "product", m_Dir / "tree", m_Dir / "release.key");
    // 3 packages, 10 documents and version.txt, each signed but the packages.
    ExpectServedByteForByte(m_Dir / "tree", m_Nginx->TlsBaseUrl(), 25,
                            {.strAcceptEncoding = "gzip, deflate", .strCaFile = NginxServer::CaPem()});
    EXPECT_THROW(HttpGet(m_Nginx->TlsBaseUrl() + "/produtos/bin/newvantix/version.txt"), std::runtime_error)
        << "a certificate nobody trusts must not be accepted";
}

TEST_F(ReleaseNginxTest, AnswersNotFoundForAnythingUnpublished) {
    WriteFileText(m_Dir / "tree/files/.0123456789abcdef0123456789abcdef.tmp-1-0", "half a package");
    WriteFileText(m_Dir / "tree/version/orladesk/.pt-br.tmp-1-1", "{}");
    WriteFileText(m_Dir / "tree/files/notes.txt", "not a package");
    WriteFileText(m_Dir / "tree/files/0123456789abcdef0123456789abcdef.sig", "no signature of packages");
    WriteFileText(m_Dir / "tree/version/orladesk/.pt-br.sig", "hidden");
    WriteFileText(m_Dir / "tree/produtos/bin/newvantix/version.txt.asc", "not a signature");
    const char* const paths[] = {
        "/files/0123456789abcdef0123456789abcdef",
        "/files/.0123456789abcdef0123456789abcdef.tmp-1-0",
        "/version/orladesk/.pt-br.tmp-1-1",
        "/files/notes.txt",
        "/version/orladesk/alpha/to/beta/pt-br",
        "/version/orladesk/alpha/to/stable/",
        "/",
        "/files/",
        "/files/0123456789abcdef0123456789abcdef.sig",
        "/version/orladesk/alpha/to/stable/pt-br.sig",
        "/version/orladesk/.pt-br.sig",
        "/produtos/bin/newvantix/version.txt.asc",
    };
    HttpSession session;
    for (const char* path : paths) EXPECT_EQ(session.Get(m_strBase + path).nStatus, 404) << path;
}

}  // namespace
