#pragma once
#include <map>
#include <string>
#include <vector>

#include "support/LocalHttpServer.h"

class TSigningKey;

// A release served by a LocalHttpServer: the version document at the address
// the installer asks for, and one zip package per file under /files/<md5>.
//
//   TestRelease release(server);
//   release.Add("vantixchart.exe", "...");
//   release.Add("database\\desktops\\d.json", "{}");
//   release.Publish();
class TestRelease {
public:
    explicit TestRelease(LocalHttpServer& server) : m_Server(server) {}

    // `path` uses back-slashes, as release descriptions do.
    // A path added again takes the new content.
    void Add(const std::string& path, const std::string& content, const std::string& product = "");
    // Routes the document (plain and 64-bit) and every package. With `key`,
    // each document is a signed one (what it answers, `expires`, the SHA-256
    // of every file and package) with its signature beside it.
    void Publish(const std::string& version = "1.2.3.4", const TSigningKey* key = nullptr,
                 const std::string& expires = "2099-01-01T00:00:00Z");
    // The document last published at VersionPath(x64).
    const std::string& Document(bool x64 = false) const { return m_Documents[x64]; }

    // The lower-case MD5 of a file's content: its package's name.
    std::string Md5(const std::string& path) const;
    std::string PackagePath(const std::string& path) const { return "/files/" + Md5(path); }
    static std::string VersionPath(bool x64 = false);
    // The zip bytes of a file's package (after Publish).
    std::string Package(const std::string& path) const { return m_Packages.at(path); }
    int PackageHits(const std::string& path) const { return m_Server.HitCount(PackagePath(path)); }
    // Total requests for packages.
    int PackageRequests() const;

private:
    struct File {
        std::string strPath, strContent, strProduct;
    };
    LocalHttpServer& m_Server;
    std::vector<File> m_lstFiles;
    std::map<std::string, std::string> m_Packages;
    std::string m_Documents[2];
};
