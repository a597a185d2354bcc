#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

#include "release/ExpiryStamp.h"

// What `vxrelease sign` is asked to do.
struct TSignRequest {
    std::filesystem::path pathTree;        // a tree written by PublishRelease
    std::filesystem::path pathSigningKey;  // PEM file of the Ed25519 key
    unsigned nExpiryDays = kDefaultExpiryDays;
};

struct TSignSummary {
    std::size_t nDocuments = 0;
    bool bVersionTxtSigned = false;
    std::string strExpires;
};

// Signs a published tree again with a new expiry, without publishing: every
// version document under version/ (regular files, not hidden, not ".sig") is
// read, told which query its path answers and when it expires, given the
// SHA-256 of each package under files/ (always computed again) and of each
// file's content (kept when the document has one, else taken from the package
// after checking the content's MD5), written back atomically and signed.
// version.txt is signed when present. Packages are never touched.
//
// Every document and package is checked before anything is written; a problem
// (no documents, a document that cannot be read or rewritten as it is, a
// missing package or one whose size or content differs from what the document
// says, a bad key) throws TPublishError and leaves the tree as it was. A write
// that fails half-way throws std::runtime_error; each document is in place
// before its signature, so what was not signed again is refused, not trusted.
TSignSummary SignReleaseTree(const TSignRequest& request);
