#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "service/VantixVersion.h"
#include "workers/FileToDownload.h"

// The download work of a release: one record per file of this product, the
// top-level libraries every edition keeps, and the totals the progress bar is
// measured in. Byte totals are 64-bit: a release may pass 4 GiB.
struct TDownloadPlan {
    std::vector<PFileToDownload> lstRecords;  // ascending by size: workers take the largest first
    std::vector<std::string> lstKeepDlls;     // top-level library names of the release (IsLibraryFileName), any product
    uint64_t nDownloadSize = 0;
    uint64_t nProgressSize = 0;           // download bytes plus the unpacking share
    uint64_t nFileExtractedProgress = 0;  // progress units credited per unpacked file
    // Bytes of packages that may wait in memory to be unpacked: twice the
    // largest package, so that the next one downloads while the largest is
    // unpacked, and never less than kMinPackageBudget so that small packages
    // flow freely.
    uint64_t nPackageBudget = kMinPackageBudget;

    static constexpr uint64_t kMinPackageBudget = 16ull << 20;
};

// Builds the plan. A file belongs to this product when its product is empty or
// equals `productCode` exactly. A release without a file for this product has
// no unpacking share (it finishes at once instead of dividing by zero). With
// `bCheckHashes` (a signed release) each record carries the SHA-256 of its
// package and file to be checked.
TDownloadPlan BuildDownloadPlan(const TVantixVersion& version, const std::string& productCode,
                                const std::string& serverUrl, bool bCheckHashes = false);

// "a.b.c.d"
std::string DottedVersion(const TVantixVersion& version);
