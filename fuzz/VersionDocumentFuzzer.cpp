// Feeds arbitrary bytes to the reader of the version service's answer. Besides
// the sanitizers it checks three things: a refusal is always a TVersionFormatError
// (anything else would escape the version query's handler), the checks of a
// signed release refuse only with a reason, and whatever is accepted survives
// a round trip through the release tool's writer unchanged (the signed fields
// included), so the reader and the publisher agree on every document the
// reader takes.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "release/VersionDocument.h"
#include "service/ReleaseRefusal.h"
#include "service/SignedRelease.h"
#include "service/VersionInfoReader.h"

namespace {

[[noreturn]] void Fault(const std::string& what) {
    std::fprintf(stderr, "version document fuzzer: %s\n", what.c_str());
    std::abort();
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
                                 x->strProduct == y->strProduct && x->strSha256 == y->strSha256 &&
                                 x->strPackageSha256 == y->strPackageSha256;
                      });
}

bool SameRelease(const TVantixVersion& a, const TVantixVersion& b) {
    return a.nMajor == b.nMajor && a.nMinor == b.nMinor && a.nRelease == b.nRelease && a.nBuild == b.nBuild &&
           a.strVideo == b.strVideo && a.bIsLatest == b.bIsLatest && a.bBugVersion == b.bBugVersion &&
           a.arProducts == b.arProducts && a.Answers.strProduct == b.Answers.strProduct &&
           a.Answers.strChannel == b.Answers.strChannel && a.Answers.strLocale == b.Answers.strLocale &&
           a.strExpires == b.strExpires && SameChanges(a, b) && SameFiles(a, b);
}

// The checks of a signed release refuse what they do not like with a reason,
// never with anything else that would escape the query's handler.
void CheckSignedChecks(const TVantixVersion& version) {
    TReleaseCheck check;
    check.Expected = version.Answers;
    check.strInstalledVersion = "1.2.3.4";
    try {
        CheckSignedRelease(version, check, std::chrono::system_clock::now());
    } catch (const TReleaseRefused&) {
    }
}

void CheckAccepted(const TVantixVersion& version) {
    CheckSignedChecks(version);
    for (const auto& file : version.lstFiles)
        if (file->strFile.find('/') != std::string::npos) Fault("a file path kept a forward slash: " + file->strFile);
    const std::string rewritten = WriteVersionDocument(DocumentFromRelease(version));
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
