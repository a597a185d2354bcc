// Feeds arbitrary bytes to the reader of the version service's answer. Besides
// the sanitizers it checks two things: a refusal is always a TVersionFormatError
// (anything else would escape the version query's handler), and whatever is
// accepted survives a round trip through the release tool's writer unchanged,
// so the reader and the publisher agree on every document the reader takes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "release/VersionDocument.h"
#include "service/VersionInfoReader.h"

namespace {

[[noreturn]] void Fault(const std::string& what) {
    std::fprintf(stderr, "version document fuzzer: %s\n", what.c_str());
    std::abort();
}

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

TVersionDocument ForWriter(const TVantixVersion& version) {
    TVersionDocument doc;
    doc.nMajor = version.nMajor;
    doc.nMinor = version.nMinor;
    doc.nRelease = version.nRelease;
    doc.nBuild = version.nBuild;
    doc.strVideo = version.strVideo;
    doc.bIsLatest = version.bIsLatest;
    doc.bBugged = version.bBugVersion;
    doc.arProducts = version.arProducts;
    for (const auto& change : version.arChanges) doc.arChanges.push_back({change.strText, change.arProducts});
    for (const auto& file : version.lstFiles)
        doc.arFiles.push_back({Slashed(file->strFile), file->strMD5, file->nFileSize, file->strProduct});
    return doc;
}

bool SameChanges(const TVantixVersion& a, const TVantixVersion& b) {
    return std::equal(
        a.arChanges.begin(), a.arChanges.end(), b.arChanges.begin(), b.arChanges.end(),
        [](const auto& x, const auto& y) { return x.strText == y.strText && x.arProducts == y.arProducts; });
}

// The writer marks every file for installation, so "install" is left out.
bool SameFiles(const TVantixVersion& a, const TVantixVersion& b) {
    return std::equal(a.lstFiles.begin(), a.lstFiles.end(), b.lstFiles.begin(), b.lstFiles.end(),
                      [](const auto& x, const auto& y) {
                          return x->strFile == y->strFile && x->strMD5 == y->strMD5 && x->nFileSize == y->nFileSize &&
                                 x->strProduct == y->strProduct;
                      });
}

bool SameRelease(const TVantixVersion& a, const TVantixVersion& b) {
    return a.nMajor == b.nMajor && a.nMinor == b.nMinor && a.nRelease == b.nRelease && a.nBuild == b.nBuild &&
           a.strVideo == b.strVideo && a.bIsLatest == b.bIsLatest && a.bBugVersion == b.bBugVersion &&
           a.arProducts == b.arProducts && SameChanges(a, b) && SameFiles(a, b);
}

void CheckAccepted(const TVantixVersion& version) {
    for (const auto& file : version.lstFiles)
        if (file->strFile.find('/') != std::string::npos) Fault("a file path kept a forward slash: " + file->strFile);
    const std::string rewritten = WriteVersionDocument(ForWriter(version));
    TVantixVersion again;
    try {
        ReadVersionDocument(rewritten, again);
    } catch (const TVersionFormatError& e) {
        Fault(std::string("the reader refuses what the writer made of an accepted document: ") + e.what() + "\n" +
              rewritten);
    }
    if (!SameRelease(version, again)) Fault("the round trip changed the release:\n" + rewritten);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    TVantixVersion version;
    try {
        ReadVersionDocument(json, version);
    } catch (const TVersionFormatError&) {
        return 0;
    }
    CheckAccepted(version);
    return 0;
}
