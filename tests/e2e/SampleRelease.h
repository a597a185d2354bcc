#pragma once
// A small published release for the server tests: a product folder with files
// that compress and files that do not, published into a tree with every kind of
// file a server must answer for.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "release/ReleasePublisher.h"
#include "support/TempDir.h"

struct ServedFileExpectation {
    std::string strUrlPath;  // "/files/<md5>", "/version/...", "/produtos/bin/newvantix/version.txt", "....sig"
    std::filesystem::path path;
    std::string strContentType;
};

// With a key file, the release is signed.
inline void PublishSampleRelease(const std::filesystem::path& product, const std::filesystem::path& tree,
                                 const std::filesystem::path& signingKey = {}) {
    std::mt19937 gen(42);
    std::string random(700000, '\0');
    for (char& c : random) c = static_cast<char>(gen() & 0xFF);
    std::string text;
    for (int i = 0; i < 30000; ++i) text += "price " + std::to_string(i * 7 % 1000) + "\n";
    WriteFileText(product / "vantixchart.exe", random);
    WriteFileText(product / "bin/quotes.txt", text);
    WriteFileText(product / "database/desktops/default.json", "{\"layout\": 1}");
    TPublishRequest request;
    request.pathSource = product;
    request.strProduct = "orladesk";
    request.strVersion = "1.2.3.4";
    request.strChannel = "stable";
    request.pathOut = tree;
    request.strInstallerVersion = "1.81";
    request.pathSigningKey = signingKey;
    PublishRelease(request);
}

// Every file of a published tree with the URL path and type a server must give it.
inline std::vector<ServedFileExpectation> ListServedFiles(const std::filesystem::path& tree) {
    std::vector<ServedFileExpectation> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file()) continue;
        const std::string rel = std::filesystem::relative(entry.path(), tree).string();
        const bool signature = entry.path().extension() == ".sig";
        std::string type = signature                       ? "text/plain"
                           : rel.rfind("version/", 0) == 0 ? "application/json"
                           : rel.rfind("files/", 0) == 0   ? "application/zip"
                                                           : "text/plain";
        files.push_back({"/" + rel, entry.path(), type});
    }
    return files;
}
