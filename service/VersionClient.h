#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "service/ProxySettings.h"
#include "service/SignedRelease.h"
#include "service/VantixVersion.h"

// Release channels, in the service's order.
enum TVersionChannel : uint8_t { vcStable, vcBeta, vcStaging, vcAlpha, vcRarely };

// The word that stands for a channel in query URLs ("stable", "beta", ...).
// Throws std::out_of_range for a value outside the enumeration.
const char* ChannelName(TVersionChannel channel);

// What to ask the version service for.
struct TVersionQuery {
    std::string strBaseUrl;      // service root, no trailing slash
    std::string strProduct;      // the edition's product word, e.g. "orladesk"
    std::string strFromVersion;  // installed version; used by the mandatory and latest forms only
    TVersionChannel FromChannel = vcStable;
    TVersionChannel ToChannel = vcStable;
    bool bDev = false;           // the development variant
    std::string strSuffix;       // locale segment, e.g. "pt-br"
    bool bX64 = false;           // the 64-bit variant
    bool bMandatory = false;     // the last mandatory version after strFromVersion
    // Asked while the document comes in: true ends the query as a failure, so
    // that stopping the run need not wait for a slow or silent server.
    std::function<bool()> fnShouldAbort;
    // The signing keys and the installed version; GetVersionInfo fills in
    // what the query itself answers.
    TReleaseCheck Trust;
};

// The query URL, nothing escaped; the first form that applies wins:
//   bMandatory:     <base>/version/<product>/<from>/<FromVersion>/to/mandatory/<last>
//   equal channels: <base>/version/<product>/<to>/<FromVersion>/to/latest/<last>
//   otherwise:      <base>/version/<product>/<from>/to/<to>/<last>
// <from> and <to> are channel words; <last> is the suffix, then "_dev" when
// bDev, then "_x64" when bX64.
std::string BuildVersionUrl(const TVersionQuery& query);
// The parts of that URL a signed document names as the query it answers: the
// segments between the product and the last one, and the last one.
std::string VersionChannelPath(const TVersionQuery& query);
std::string VersionLocaleSegment(const TVersionQuery& query);

// The last-error value that tells the caller the secure channel failed (the
// value callers show a certificate message for).
constexpr int32_t kSecureChannelFailure = 12175;
// The last-error value of a release that failed the checks of a signed
// release: not a failure to ask again, but one to stop at.
constexpr int32_t kReleaseRefused = -2;

// The largest signature file read: one line of base64 of 64 bytes.
constexpr uint64_t kMaxSignatureFileSize = 1024;

// The largest version document read. A real one lists a release's files in a
// few kilobytes; a server that sends more is broken or hostile, and holding
// its body would let it spend the machine's memory.
constexpr uint64_t kMaxVersionDocumentSize = 16ull << 20;

// One GET of url with a client of its own, the body read as a release
// description. Never throws and never logs: the outcome is the result, text and
// lastError. A body longer than kMaxVersionDocumentSize is refused as soon as
// it is announced or has arrived that far (a failure with lastError 0).
//
// text: "URL=\"<url>\"", then " Proxy=True" when proxy is given; on a status
// other than 200, "StatusCode=<n> " in front; on a failure, "Exception=\"<message>\"
// LastErrorCode=<n> " in front.
// lastError: 0 unless a failure was raised; then kSecureChannelFailure for a TLS
// failure, the CURLcode for any other failure of the HTTP request, 0 for a
// body that is not a usable release description, and kReleaseRefused (with
// text starting "Refused=\"<reason>\" Reason=\"<what>\" ") for a release
// refused by `check`.
// check: when given and its keys are enforced, "<url>.sig" is fetched with the
// same client and verified over the body's exact bytes before it is parsed
// (a 404 counts as no signature), then the document is held to
// CheckSignedRelease.
// proxy: nullptr means no proxy; a record with an empty host also goes direct.
// Its scheme counts: a "socks5" proxy is spoken to as SOCKS.
bool ReadVersionInfo(const std::string& url, TVantixVersion& version, std::string& text,
                     const TProxySettings* proxy, int32_t& lastError,
                     const std::function<bool()>& shouldAbort = {}, const TReleaseCheck* check = nullptr);

// BuildVersionUrl, then ReadVersionInfo with the query's Trust, expecting the
// query's product, channel path and locale segment; text is emptied on entry.
bool GetVersionInfo(const TVersionQuery& query, TVantixVersion& version, std::string& text,
                    int32_t& lastError, const TProxySettings* proxy);
