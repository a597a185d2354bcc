#include "support/TestRelease.h"

#include <algorithm>

#include "platform/Sha256Digest.h"
#include "release/SignatureFile.h"
#include "support/TestZip.h"

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string JsonPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

}  // namespace

void TestRelease::Add(const std::string& path, const std::string& content, const std::string& product) {
    for (auto& f : m_lstFiles)
        if (f.strPath == path) {
            f = {path, content, product};
            return;
        }
    m_lstFiles.push_back({path, content, product});
}

std::string TestRelease::Md5(const std::string& path) const {
    for (const auto& f : m_lstFiles)
        if (f.strPath == path) return Lower(Md5Upper(f.strContent));
    return "";
}

std::string TestRelease::VersionPath(bool x64) {
    return std::string("/version/orladesk/alpha/to/stable/pt-br") + (x64 ? "_x64" : "");
}

void TestRelease::Publish(const std::string& version, const TSigningKey* key, const std::string& expires) {
    int parts[4] = {0, 0, 0, 0};
    std::sscanf(version.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
    std::string files;
    for (const auto& f : m_lstFiles) {
        std::string zip = MakeTestZip({{BaseName(f.strPath), f.strContent}});
        m_Packages[f.strPath] = zip;
        m_Server.Route(PackagePath(f.strPath), TReply{200, zip, "application/zip"});
        if (!files.empty()) files += ",";
        files += "{\"file\":\"" + JsonPath(f.strPath) + "\",\"md5\":\"" + Md5(f.strPath) +
                 "\",\"size\":" + std::to_string(zip.size()) +
                 (f.strProduct.empty() ? "" : ",\"product\":\"" + f.strProduct + "\"") +
                 (key ? ",\"sha256\":\"" + Sha256Hex(f.strContent) + "\",\"package_sha256\":\"" + Sha256Hex(zip) + "\"" : "") +
                 "}";
    }
    for (bool x64 : {false, true}) {
        const std::string signedPart = key ? "\"answers\":{\"product\":\"orladesk\",\"channel\":\"alpha/to/stable\","
                                             "\"locale\":\"pt-br" + std::string(x64 ? "_x64" : "") +
                                                 "\"},\"expires\":\"" + expires + "\","
                                           : "";
        std::string& doc = m_Documents[x64];
        doc = "{\"major\":" + std::to_string(parts[0]) + ",\"minor\":" + std::to_string(parts[1]) +
              ",\"release\":" + std::to_string(parts[2]) + ",\"build\":" + std::to_string(parts[3]) +
              ",\"video\":\"\",\"is_latest\":true,\"bugged\":false," + signedPart + "\"changes\":[],\"files\":[" +
              files + "]}";
        m_Server.Route(VersionPath(x64), TReply{200, doc, "application/json"});
        if (key) m_Server.Route(VersionPath(x64) + ".sig", TReply{200, SignatureFileText(doc, *key)});
    }
}

int TestRelease::PackageRequests() const {
    int n = 0;
    for (const auto& r : m_Server.Requests()) n += r.strPath.starts_with("/files/");
    return n;
}
