// The production configuration, deploy/nginx.conf, run by Debian's nginx on a
// published release: every package and document must arrive byte for byte
// with the headers the installer relies on.
#include <gtest/gtest.h>

#include "SampleRelease.h"
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

TEST_F(ReleaseNginxTest, ServesEveryPackageAndDocumentByteForByte) {
    HttpSession session;
    const std::vector<ServedFileExpectation> files = ListServedFiles(m_Dir / "tree");
    ASSERT_EQ(files.size(), 14u);
    for (const ServedFileExpectation& file : files) {
        SCOPED_TRACE(file.strUrlPath);
        const std::string expected = ReadFileText(file.path);
        HttpAnswer answer = session.Get(m_strBase + file.strUrlPath, {.strAcceptEncoding = "gzip, deflate"});
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
    EXPECT_TRUE(session.Get(m_strBase + files.front().strUrlPath).bReusedConnection);
}

TEST_F(ReleaseNginxTest, AnswersNotFoundForAnythingUnpublished) {
    WriteFileText(m_Dir / "tree/files/.0123456789abcdef0123456789abcdef.tmp-1-0", "half a package");
    WriteFileText(m_Dir / "tree/version/orladesk/.pt-br.tmp-1-1", "{}");
    WriteFileText(m_Dir / "tree/files/notes.txt", "not a package");
    const char* const paths[] = {
        "/files/0123456789abcdef0123456789abcdef",
        "/files/.0123456789abcdef0123456789abcdef.tmp-1-0",
        "/version/orladesk/.pt-br.tmp-1-1",
        "/files/notes.txt",
        "/version/orladesk/alpha/to/beta/pt-br",
        "/version/orladesk/alpha/to/stable/",
        "/",
        "/files/",
    };
    HttpSession session;
    for (const char* path : paths) EXPECT_EQ(session.Get(m_strBase + path).nStatus, 404) << path;
}

}  // namespace
