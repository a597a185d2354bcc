// The real OrlaDesk of an edition that trusts a release key, against a release
// signed by the real vxrelease and served by nginx over TLS: a signed release
// installs and updates, and each attack of a network path between them is
// refused, with the installation left byte for byte as it was.
#include <functional>

#include "InstallerRunSupport.h"
#include "release/SignatureFile.h"
#include "release/SigningKey.h"
#include "support/NginxServer.h"
#include "support/TestPeImage.h"

namespace e2e {
namespace {

const std::string kTool = VX_BIN_DIR "/vxrelease";
const std::string kDocument = "version/orladesk/alpha/to/stable/pt-br_x64";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk";

// The uninstall entry's values, as text, to compare before and after.
std::vector<std::string> UninstallEntry(const Sandbox& box) {
    std::vector<std::string> values;
    for (const TRegValue& value : OpenHive(box)->Values(kUninstallKey))
        values.push_back(value.strName + "=" + value.strData + "/" + std::to_string(value.nData));
    return values;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

class InstallerTrust : public InstallerRunTest {
protected:
    void SetUp() override {
        if (!NginxServer::Installed()) GTEST_SKIP() << "nginx is not installed";
        product["vantixchart.exe"] = VersionedProgram(1, 2, 3, 4);
        m_Key = release.Work() / "release.key";
        ASSERT_NO_FATAL_FAILURE(Tool({"keygen", "--out", m_Key.string()}));
        m_strPublicKey = Trimmed(ReadFileText(m_Key.string() + ".pub"));
    }

    void Tool(const std::vector<std::string>& args) {
        const ProcessResult run = RunProcess(kTool, args);
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }
    // As the maker publishes: the real tool, with the release key.
    void PublishSigned(const FileMap& files, const std::string& version) {
        const fs::path source = release.Work() / ("product-" + version);
        WriteTree(source, files);
        ASSERT_NO_FATAL_FAILURE(
            Tool({"publish", source.string(), "--product", "orladesk", "--version", version, "--channel", "stable",
                  "--out", release.Tree().string(), "--installer-version", "1.81", "--sign-key", m_Key.string()}));
    }
    void StartNginx() {
        m_Nginx = std::make_unique<NginxServer>(release.Tree(), release.Work() / "nginx");
        ASSERT_TRUE(m_Nginx->Started()) << m_Nginx->FailureText();
    }
    ProcessResult RunSigned(const std::vector<std::string>& args, const std::string& keys) {
        return RunAt(m_Nginx->TlsBaseUrl(), args,
                     {{"ORLADESK_CA_BUNDLE", NginxServer::CaPem()}, {"ORLADESK_RELEASE_PUBLIC_KEYS", keys}});
    }
    ProcessResult RunSigned(const std::vector<std::string>& args) { return RunSigned(args, m_strPublicKey); }
    fs::path Tree(const std::string& rel) const { return release.Tree() / rel; }

    fs::path m_Key;
    std::string m_strPublicKey;
    std::unique_ptr<NginxServer> m_Nginx;
};

TEST_F(InstallerTrust, ASignedReleaseInstallsAndUpdatesOverTlsWithARotatedKey) {
    PublishSigned(product, "1.2.3.4");
    StartNginx();
    const std::string retiredKey = TSigningKey::Generate().PublicKeyBase64();
    ProcessResult install = RunSigned({"/install"}, retiredKey + "," + m_strPublicKey);
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    ExpectFolderHolds(box.InstallFolder(), product);
    EXPECT_EQ(HiveValue(box, kUninstallKey, "DisplayVersion")->strData, "1.2.3.4");

    FileMap next = product;
    next["vantixchart.exe"] = VersionedProgram(1, 2, 4, 0);
    next["lib1.dll"] = RandomBytes(150000, 9);
    PublishSigned(next, "1.2.4.0");
    WriteFileText(box.InstallFolder() / "database/desktops/mine.json", "the user's own");
    ProcessResult update = RunSigned({"/update"});
    ASSERT_EQ(update.exitCode, 0) << Describe(update);
    next["database/desktops/mine.json"] = "the user's own";
    ExpectFolderHolds(box.InstallFolder(), next);
    EXPECT_EQ(HiveValue(box, kUninstallKey, "DisplayVersion")->strData, "1.2.4.0");
    EXPECT_EQ(Occurrences(m_Nginx->AccessLog(), "\"GET /" + kDocument + ".sig HTTP/1.1\" 200"), 2u);
}

// What an attack works with: the served tree and what was published before.
struct TAttackScene {
    fs::path tree;
    fs::path key;  // the maker's, for documents that are really signed
    std::string strOlderDocument, strOlderSignature;
    fs::path newPackage, otherPackage;  // lib1.dll's new package, and lib2.dll's of the same size

    fs::path Tree(const std::string& rel) const { return tree / rel; }
};

// One attack on the path between the maker's server and the installer.
struct TAttack {
    const char* szName;
    const char* szReason;
    std::function<void(const TAttackScene&)> attack;
};

// An installation of 1.2.3.4 and a signed 1.2.3.5 on the server in which only
// lib1.dll changed, to the size of lib2.dll's package; an older signed 1.2.3.3
// without lib2.dll was published before, as a replay would serve it.
class InstallerTrustAttacks : public InstallerTrust {
public:
    void SetUp() override {
        InstallerTrust::SetUp();
        if (IsSkipped()) return;
        FileMap older = product;
        older.erase("lib2.dll");
        PublishSigned(older, "1.2.3.3");
        m_Scene.tree = release.Tree();
        m_Scene.key = m_Key;
        m_Scene.strOlderDocument = ReadFileText(Tree(kDocument));
        m_Scene.strOlderSignature = ReadFileText(Tree(kDocument + ".sig"));
        PublishSigned(product, "1.2.3.4");
        StartNginx();
        const ProcessResult install = RunSigned({"/install"});
        ASSERT_EQ(install.exitCode, 0) << Describe(install);

        FileMap next = product;
        next["lib1.dll"] = RandomBytes(product.at("lib2.dll").size(), 11);
        PublishSigned(next, "1.2.3.5");
        m_Scene.newPackage = release.PackageOf(next.at("lib1.dll"));
        m_Scene.otherPackage = release.PackageOf(product.at("lib2.dll"));
        ASSERT_EQ(fs::file_size(m_Scene.newPackage), fs::file_size(m_Scene.otherPackage))
            << "the swap must keep the size";
    }

    TAttackScene m_Scene;
};

TEST_F(InstallerTrustAttacks, EachIsRefusedAndTheInstallationStaysAsItWas) {
    const std::vector<TAttack> attacks{
        {"one byte of the document changed", "signature",
         [](const TAttackScene& f) {
             std::string document = ReadFileText(f.Tree(kDocument));
             document[document.find("\"build\": 5")] = ' ';
             WriteFileText(f.Tree(kDocument), document);
         }},
        {"the signature missing", "signature", [](const TAttackScene& f) { fs::remove(f.Tree(kDocument + ".sig")); }},
        {"signed by an unknown key", "signature",
         [](const TAttackScene& f) {
             WriteSignatureOf(f.Tree(kDocument), ReadFileText(f.Tree(kDocument)), TSigningKey::Generate());
         }},
        {"a package with one byte changed", "package hash",
         [](const TAttackScene& f) {
             std::string package = ReadFileText(f.newPackage);
             package[package.size() / 2] = static_cast<char>(package[package.size() / 2] ^ 0x20);
             WriteFileText(f.newPackage, package);
         }},
        {"a package swapped for another file's package", "package hash",
         [](const TAttackScene& f) {
             fs::copy_file(f.otherPackage, f.newPackage, fs::copy_options::overwrite_existing);
         }},
        {"an older release replayed", "older than installed",
         [](const TAttackScene& f) {
             WriteFileText(f.Tree(kDocument), f.strOlderDocument);
             WriteFileText(f.Tree(kDocument + ".sig"), f.strOlderSignature);
         }},
        {"an expired document", "expired",
         [](const TAttackScene& f) {
             std::string document = ReadFileText(f.Tree(kDocument));
             const size_t at = document.find("\"expires\": \"") + 12;
             document.replace(at, 20, "2020-01-01T00:00:00Z");
             WriteSignedFile(f.Tree(kDocument), document, TSigningKey::LoadPem(f.key));
         }},
        {"another locale's document at this URL", "answers another query",
         [](const TAttackScene& f) {
             const std::string plain = "version/orladesk/alpha/to/stable/pt-br";
             fs::copy_file(f.Tree(plain), f.Tree(kDocument), fs::copy_options::overwrite_existing);
             fs::copy_file(f.Tree(plain + ".sig"), f.Tree(kDocument + ".sig"), fs::copy_options::overwrite_existing);
         }},
    };
    const FileMap installed = ReadTree(box.InstallFolder());
    const std::vector<std::string> registered = UninstallEntry(box);
    const fs::path pristine = release.Work() / "pristine";
    fs::copy(release.Tree(), pristine, fs::copy_options::recursive);
    for (const TAttack& attack : attacks) {
        SCOPED_TRACE(attack.szName);
        fs::remove_all(release.Tree());
        fs::copy(pristine, release.Tree(), fs::copy_options::recursive);
        attack.attack(m_Scene);

        const ProcessResult run = RunSigned({"/update"});
        EXPECT_EQ(run.exitCode, 255) << Describe(run);
        EXPECT_NE(box.LastLog().find("Release not verified: Refused=\"" + std::string(attack.szReason) + "\""),
                  std::string::npos)
            << Describe(run);
        EXPECT_TRUE(ReadTree(box.InstallFolder()) == installed) << "the installation changed";
        EXPECT_EQ(UninstallEntry(box), registered);
    }
}

// A new installation from a refused release leaves nothing behind either.
TEST_F(InstallerTrustAttacks, ARefusedPackageOfANewInstallationLeavesNothing) {
    fs::copy_file(m_Scene.otherPackage, m_Scene.newPackage, fs::copy_options::overwrite_existing);
    const ProcessResult run = RunSigned({"/install", "second"});
    EXPECT_EQ(run.exitCode, 255) << Describe(run);
    EXPECT_FALSE(fs::exists(box.InstallFolder("second")));
    EXPECT_FALSE(HiveKeyExists(box, kUninstallKey + "_second"));
    EXPECT_EQ(box.LastLog().find("Extracting=lib1.dll"), std::string::npos) << "the package was opened";
}

}  // namespace
}  // namespace e2e
