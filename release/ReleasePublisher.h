#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "release/ExpiryStamp.h"

// How packages are compressed. pcAuto picks per file whatever makes it
// smallest and stores what does not compress.
enum class TPackCompression { pcAuto, pcLzma, pcDeflate, pcStore };

// Which locale documents get published: "pt-br", "pt-br_x64" or both.
enum class TArchVariants { avBoth, avPlain, avX64 };

// Everything `vxrelease publish` is asked to do.
struct TPublishRequest {
    std::filesystem::path pathSource;
    std::string strProduct;         // lower-case product word, e.g. "orladesk"
    std::string strVersion;         // "a.b.c.d"
    std::string strChannel;         // stable, beta, staging, alpha or rarely
    std::filesystem::path pathOut;  // the published tree
    TPackCompression compression = TPackCompression::pcAuto;
    // Files (or folders: everything below them) that belong to one product only,
    // as (relative path with "/", product).
    std::vector<std::pair<std::string, std::string>> arFileProducts;
    std::filesystem::path pathChangeLog;  // empty: no change log; else one entry a line
    std::string strVideo;
    bool bBugged = false;
    bool bIsLatest = false;
    std::vector<std::string> arLocales{"pt-br"};
    TArchVariants variants = TArchVariants::avBoth;
    std::vector<std::string> arProducts;  // the document's "products"; empty: just strProduct
    std::string strInstallerVersion;      // "major.minor" for version.txt; empty: leave it alone
    unsigned nJobs = 0;                   // compression threads; 0: one per core
    // A signed release: the PEM file of the Ed25519 key (empty: unsigned, the
    // documents keep the bytes they always had) and how many days its
    // documents stay valid.
    std::filesystem::path pathSigningKey;
    unsigned nExpiryDays = kDefaultExpiryDays;
};

// What a publish did, for the summary line and for tests.
struct TPublishSummary {
    std::size_t nFiles = 0;
    std::size_t nPackagesWritten = 0;
    std::size_t nPackagesReused = 0;
    std::uint64_t nPackageBytesWritten = 0;
    std::size_t nDocumentsWritten = 0;
    std::size_t nDocumentsUnchanged = 0;
    bool bVersionTxtWritten = false;
    std::string strExpires;  // a signed release: when its documents expire
};

// Where a tree holds the newest installer's version.
inline constexpr const char* kInstallerVersionFile = "produtos/bin/newvantix/version.txt";

// The channels in the order the installer numbers them.
const std::vector<std::string>& ReleaseChannels();

// Publishes the release into pathOut:
//   files/<md5>                                    one-entry zip of each file
//   version/<product>/<from>/to/<channel>/<locale>[_x64]   for every from-channel
//   produtos/bin/newvantix/version.txt             when strInstallerVersion is set
// Everything is checked before anything is written (TPublishError); an
// unsigned publish over documents or a version.txt that are signed is refused. Packages go
// first and documents last, each under a temporary name renamed into place, so
// a server that reads the tree meanwhile never sees a document naming a missing
// package, nor half a file. A package already present is reused; a document or
// version.txt that already holds the same bytes is not touched. A signed
// release also says in each document which query it answers, when it expires
// and the SHA-256 of every file and package, and signs every document and
// version.txt (".sig" beside each, written after the file). If writing
// fails half-way, the packages this run added are removed again and the error
// is thrown (std::runtime_error).
TPublishSummary PublishRelease(const TPublishRequest& request);
