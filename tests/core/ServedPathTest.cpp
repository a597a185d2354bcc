#include <gtest/gtest.h>

#include "release/ServedPath.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const char* const kPackage = "files/0123456789abcdef0123456789abcdef";

class ServedPathTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFileText(m_Dir / "tree" / kPackage, "zip");
        WriteFileText(m_Dir / "tree/version/orladesk/alpha/to/stable/pt-br_x64", "{}");
        WriteFileText(m_Dir / "tree/version/orladesk/alpha/to/stable/pt-br_x64.sig", "c2ln\n");
        WriteFileText(m_Dir / "tree/produtos/bin/newvantix/version.txt", "1.81");
        WriteFileText(m_Dir / "tree/produtos/bin/newvantix/version.txt.sig", "c2ln\n");
        WriteFileText(m_Dir / "tree/produtos/bin/newvantix/version.txt.asc", "not served");
        WriteFileText(m_Dir / "tree/files/0123456789abcdef0123456789abcdef.sig", "not served");
        WriteFileText(m_Dir / "tree/version/orladesk/alpha/to/stable/.pt-br_x64.sig.tmp-1-2", "half");
        WriteFileText(m_Dir / "tree/files/.0123456789abcdef0123456789abcdef.tmp-1-0", "half");
        WriteFileText(m_Dir / "tree/files/notes.txt", "not a package");
        WriteFileText(m_Dir / "secret.txt", "outside");
        fs::create_symlink(m_Dir / "secret.txt", m_Dir / "tree/version/orladesk/leak");
        m_Tree = fs::canonical(m_Dir / "tree");
    }

    TempDir m_Dir;
    fs::path m_Tree;
};

TEST_F(ServedPathTest, ServesEachKindOfFileWithItsType) {
    const struct {
        const char* url;
        const char* type;
    } cases[] = {
        {"/files/0123456789abcdef0123456789abcdef", "application/zip"},
        {"/version/orladesk/alpha/to/stable/pt-br_x64", "application/json"},
        {"/produtos/bin/newvantix/version.txt", "text/plain"},
        {"/version/orladesk/alpha/to/stable/pt-br_x64.sig", "text/plain"},
        {"/produtos/bin/newvantix/version.txt.sig", "text/plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        std::optional<TServedFile> served = ResolveServedPath(m_Tree, c.url);
        ASSERT_TRUE(served.has_value());
        EXPECT_EQ(served->strContentType, c.type);
        EXPECT_TRUE(fs::equivalent(served->path, m_Tree / std::string(c.url).substr(1)));
    }
}

TEST_F(ServedPathTest, RefusesEverythingElse) {
    const char* const urls[] = {
        "/",
        "",
        "/files/",
        "/files/notes.txt",                                  // not a package name
        "/files/0123456789ABCDEF0123456789ABCDEF",           // upper case is another name
        "/files/.0123456789abcdef0123456789abcdef.tmp-1-0",  // a publish in progress
        "/files/../files/0123456789abcdef0123456789abcdef",
        "/version/orladesk/../../../secret.txt",
        "/version/orladesk/leak",                   // a link out of the tree
        "/version/orladesk/alpha/to/stable",        // a folder
        "/version/orladesk/alpha/to/stable/pt-br",  // missing
        "/version//orladesk/alpha/to/stable/pt-br_x64",
        "/version/orladesk\\alpha",
        "/produtos/bin/newvantix/",
        "/produtos/bin/newvantix/version.txt.asc",                  // only signatures are new
        "/files/0123456789abcdef0123456789abcdef.sig",              // packages are not signed
        "/version/orladesk/alpha/to/stable/.pt-br_x64.sig.tmp-1-2",  // a signature being written
        "/version/orladesk/alpha/to/stable/pt-br.sig",              // missing
        "/secret.txt",
    };
    for (const char* url : urls) EXPECT_FALSE(ResolveServedPath(m_Tree, url).has_value()) << url;
}

}  // namespace
