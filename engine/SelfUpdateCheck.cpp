#include "engine/SelfUpdateCheck.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "diagnostics/Log.h"
#include "service/HttpClient.h"
#include "service/ReleaseKeys.h"
#include "service/VersionClient.h"

namespace {

constexpr int kTries = 3;
// A version file is a line of a few characters; what a server sends beyond
// this is not one, and only its start is worth a log line.
constexpr uint64_t kMaxVersionFileBytes = 512;
constexpr size_t kLoggedVersionChars = 64;
constexpr std::chrono::seconds kVersionFileDeadline{60};

std::vector<std::string> SplitAtDots(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t dot; (dot = text.find('.', start)) != std::string::npos; start = dot + 1)
        pieces.push_back(text.substr(start, dot - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

// The whole piece must be a (signed, decimal) integer that fits; anything else is 0.
int32_t PieceValue(const std::string& piece) {
    const char* first = piece.data();
    const char* last = first + piece.size();
    if (first != last && *first == '+') ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return 0;
    return value;
}

int64_t VersionValue(const std::string& version) {
    const std::vector<std::string> pieces = SplitAtDots(version);
    if (pieces.size() < 2) throw std::invalid_argument("Version without minor part: \"" + version + "\"");
    // 64 bits: a hostile version file must not overflow the comparison.
    return int64_t{PieceValue(pieces[0])} * 256 + PieceValue(pieces[1]);
}

bool VersionFileVerified(THttpClient& client, const std::string& strUrl, const std::string& content,
                         const TReleaseKeys& keys) {
    const std::string signature = GetURLAsString(client, strUrl + ".sig", kMaxSignatureFileSize);
    return keys.Verifies(content, signature);
}

}  // namespace

std::string GetURLAsString(THttpClient& client, const std::string& strUrl, uint64_t nMaxBytes) {
    client.SetProgressCallback({});
    std::string body;
    for (int nTry = 1; nTry <= kTries; ++nTry) {
        AppendLog("GetURLAsString: strURL=" + strUrl);
        body.clear();
        THttpResponse response;
        try {
            response = client.Get(strUrl, body, nMaxBytes);
        } catch (const std::exception& e) {
            AppendLog(std::string("TInstallerThread.GetURLAsString: NetHttpClient Exception: ") + e.what());
            if (nTry == kTries) throw;
            continue;
        }
        AppendLog("StatusCode=" + std::to_string(response.nStatus) + " StatusText=" + response.strStatusText +
                  " Size=" + std::to_string(response.nContentLength));
        if (response.nStatus == 200) return body;
        body.clear();
    }
    return body;
}

bool InstallerHasUpdate(const std::string& strLocal, const std::string& strServer) {
    return VersionValue(strLocal) < VersionValue(strServer);
}

bool VerifyInstallerUpdate(THttpClient& client, const std::string& strVersionFileUrl,
                           const std::string& strLocalVersion, const TReleaseKeys& keys) {
    try {
        client.SetTransferDeadline(kVersionFileDeadline);
        const std::string server = GetURLAsString(client, strVersionFileUrl, kMaxVersionFileBytes);
        client.SetTransferDeadline({});
        if (!server.empty() && keys.Enforced() && !VersionFileVerified(client, strVersionFileUrl, server, keys)) {
            AppendLog("VerifyInstallerUpdate: Refused=\"signature\" Reason=\"" + strVersionFileUrl +
                      " is not signed by a trusted key\"; no newer installer is offered");
            return false;
        }
        std::string local;
        bool bHasUpdate = false;
        if (!server.empty()) {
            local = strLocalVersion;
            bHasUpdate = InstallerHasUpdate(local, server);
        }
        AppendLog("VerifyInstallerUpdate: Local=" + local + " Server=" + server.substr(0, kLoggedVersionChars));
        return bHasUpdate;
    } catch (const std::exception& e) {
        AppendLog(std::string("VerifyInstallerUpdate: Exception = ") + e.what());
        return false;
    }
}
