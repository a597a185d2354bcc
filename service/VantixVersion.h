#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One file of a release as the version service describes it.
struct TVantixVersionFile {
    std::string strFile;     // relative to the installation folder, back-slash separators
    std::string strMD5;      // hexadecimal, as written; also the package's name on the server
    std::string strProduct;  // the edition the file belongs to; empty: every edition
    uint32_t nFileSize = 0;  // bytes of the package; 0: the service gave no size
    bool bInstall = false;
    // Lower-case hexadecimal SHA-256 of the unpacked file and of the package;
    // empty when the document gives none (a signed document must).
    std::string strSha256;
    std::string strPackageSha256;
};

// Entries are allocated one by one and owned by the list that holds them.
using PVantixVersionFile = std::unique_ptr<TVantixVersionFile>;

// One change-log entry.
struct TVantixVersionChange {
    std::string strText;
    std::vector<std::string> arProducts;  // empty when the entry names none
};

// The query a signed document says it answers: the product word, the channel
// path and the locale segment of its URL (e.g. "orladesk", "alpha/to/stable",
// "pt-br_x64"). Empty when the document does not say.
struct TVantixVersionAnswers {
    std::string strProduct;
    std::string strChannel;
    std::string strLocale;
};

// A release as the version service describes it. Move-only: it owns its files.
struct TVantixVersion {
    int32_t nMajor = 0;
    int32_t nMinor = 0;
    int32_t nRelease = 0;
    int32_t nBuild = 0;
    std::string strVideo;
    std::vector<TVantixVersionChange> arChanges;  // document order
    std::vector<PVantixVersionFile> lstFiles;     // document order
    bool bBugVersion = false;
    bool bIsLatest = false;
    std::vector<std::string> arProducts;
    TVantixVersionAnswers Answers;
    std::string strExpires;  // UTC, RFC 3339, as written; empty when not given
};
