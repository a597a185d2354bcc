#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "workers/MemoryBudget.h"

// A downloaded package in memory, with its share of the memory budget: the
// share goes back when the package is released.
struct TPackage {
    std::string data;
    TMemoryBudget::TReservation reservation;
};

// One file on its way through download, unpacking and check. At any moment a
// record is in exactly one queue or held by exactly one worker.
struct TFileToDownload {
    std::string strFileUrl;         // service root + "/files/" + MD5
    int64_t nDownloadSize = 0;      // expected package size; 0 accepts any size
    std::string strFileMd5;         // expected MD5 of the unpacked file, as the service writes it
    std::string strFilePath;        // folder relative to the installation, back-slash separated, or empty
    std::string strFileName;        // the file's name
    std::unique_ptr<TPackage> Stream;  // absent while queued for download
    uint32_t nRetries = 0;          // failed download tries so far
    // Of a signed release: the SHA-256 (lower-case hex) the package must have
    // before it is opened, and the unpacked file before it is placed. Empty:
    // not checked.
    std::string strPackageSha256;
    std::string strFileSha256;
};

using PFileToDownload = std::unique_ptr<TFileToDownload>;
