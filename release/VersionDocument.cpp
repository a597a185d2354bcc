#include "release/VersionDocument.h"

#include <algorithm>
#include <cstdio>

#include "service/VantixVersion.h"

namespace {

std::string JsonStringArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ", ";
        out += JsonQuote(items[i]);
    }
    return out + "]";
}

std::string BoolJson(bool value) { return value ? "true" : "false"; }

std::string OptionalKey(const char* name, const std::string& value) {
    return value.empty() ? "" : std::string(", \"") + name + "\": " + JsonQuote(value);
}

std::string SignedReleaseLines(const TVersionDocument& doc) {
    std::string out;
    if (doc.answers) {
        out += "  \"answers\": {\"product\": " + JsonQuote(doc.answers->strProduct) +
               ", \"channel\": " + JsonQuote(doc.answers->strChannel) +
               ", \"locale\": " + JsonQuote(doc.answers->strLocale) + "},\n";
    }
    if (!doc.strExpires.empty()) out += "  \"expires\": " + JsonQuote(doc.strExpires) + ",\n";
    return out;
}

std::string ForwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

TVersionDocument DocumentFromRelease(const TVantixVersion& release) {
    TVersionDocument doc;
    doc.nMajor = release.nMajor;
    doc.nMinor = release.nMinor;
    doc.nRelease = release.nRelease;
    doc.nBuild = release.nBuild;
    doc.strVideo = release.strVideo;
    doc.bIsLatest = release.bIsLatest;
    doc.bBugged = release.bBugVersion;
    doc.arProducts = release.arProducts;
    const TVantixVersionAnswers& answers = release.Answers;
    if (!answers.strProduct.empty() || !answers.strChannel.empty() || !answers.strLocale.empty())
        doc.answers = TDocumentAnswers{answers.strProduct, answers.strChannel, answers.strLocale};
    doc.strExpires = release.strExpires;
    for (const TVantixVersionChange& change : release.arChanges) doc.arChanges.push_back({change.strText, change.arProducts});
    for (const PVantixVersionFile& file : release.lstFiles)
        doc.arFiles.push_back({ForwardSlashes(file->strFile), file->strMD5, file->nFileSize, file->strProduct,
                               file->strSha256, file->strPackageSha256});
    return doc;
}

std::string JsonQuote(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out.push_back(ch);
                }
        }
    }
    return out + "\"";
}

std::string WriteVersionDocument(const TVersionDocument& doc) {
    std::string out = "{\n";
    out += "  \"major\": " + std::to_string(doc.nMajor) + ",\n";
    out += "  \"minor\": " + std::to_string(doc.nMinor) + ",\n";
    out += "  \"release\": " + std::to_string(doc.nRelease) + ",\n";
    out += "  \"build\": " + std::to_string(doc.nBuild) + ",\n";
    out += "  \"video\": " + JsonQuote(doc.strVideo) + ",\n";
    out += "  \"is_latest\": " + BoolJson(doc.bIsLatest) + ",\n";
    out += "  \"bugged\": " + BoolJson(doc.bBugged) + ",\n";
    out += "  \"products\": " + JsonStringArray(doc.arProducts) + ",\n";
    out += SignedReleaseLines(doc);
    out += "  \"changes\": [";
    for (std::size_t i = 0; i < doc.arChanges.size(); ++i) {
        const TDocumentChange& change = doc.arChanges[i];
        out += i > 0 ? ",\n    " : "\n    ";
        if (change.arProducts.empty()) {
            out += JsonQuote(change.strText);
        } else {
            out += "{\"text\": " + JsonQuote(change.strText) + ", \"products\": " + JsonStringArray(change.arProducts) +
                   "}";
        }
    }
    out += doc.arChanges.empty() ? "],\n" : "\n  ],\n";
    out += "  \"files\": [";
    for (std::size_t i = 0; i < doc.arFiles.size(); ++i) {
        const TDocumentFile& file = doc.arFiles[i];
        out += i > 0 ? ",\n    " : "\n    ";
        out += "{\"file\": " + JsonQuote(file.strFile) + ", \"md5\": " + JsonQuote(file.strMd5) +
               ", \"size\": " + std::to_string(file.nSize) + ", \"install\": true";
        out += OptionalKey("product", file.strProduct) + OptionalKey("sha256", file.strSha256) +
               OptionalKey("package_sha256", file.strPackageSha256);
        out += "}";
    }
    out += doc.arFiles.empty() ? "]\n" : "\n  ]\n";
    return out + "}\n";
}
