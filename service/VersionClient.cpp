#include "service/VersionClient.h"

#include <chrono>
#include <stdexcept>

#include "service/HttpClient.h"
#include "service/ReleaseRefusal.h"
#include "service/VersionInfoReader.h"

const char* ChannelName(TVersionChannel channel) {
    switch (channel) {
        case vcStable: return "stable";
        case vcBeta: return "beta";
        case vcStaging: return "staging";
        case vcAlpha: return "alpha";
        case vcRarely: return "rarely";
    }
    throw std::out_of_range("unknown release channel " + std::to_string(static_cast<int>(channel)));
}

std::string VersionChannelPath(const TVersionQuery& query) {
    if (query.bMandatory) return ChannelName(query.FromChannel) + ("/" + query.strFromVersion + "/to/mandatory");
    if (query.FromChannel == query.ToChannel)
        return ChannelName(query.ToChannel) + ("/" + query.strFromVersion + "/to/latest");
    return ChannelName(query.FromChannel) + ("/to/" + std::string(ChannelName(query.ToChannel)));
}

std::string VersionLocaleSegment(const TVersionQuery& query) {
    std::string segment = query.strSuffix;
    if (query.bDev) segment += "_dev";
    if (query.bX64) segment += "_x64";
    return segment;
}

std::string BuildVersionUrl(const TVersionQuery& query) {
    return query.strBaseUrl + "/version/" + query.strProduct + "/" + VersionChannelPath(query) + "/" +
           VersionLocaleSegment(query);
}

namespace {

// Keeps the body in a string, up to kMaxVersionDocumentSize bytes.
class TVersionDocumentSink : public IHttpBodySink {
public:
    explicit TVersionDocumentSink(std::string& body) : m_Body(body) {}
    void Reserve(uint64_t nBytes) override {
        CheckSize(nBytes);
        m_Body.reserve(static_cast<size_t>(nBytes));
    }
    void Write(const char* pData, size_t nSize) override {
        CheckSize(m_Body.size() + nSize);
        m_Body.append(pData, nSize);
    }

private:
    static void CheckSize(uint64_t nBytes) {
        if (nBytes > kMaxVersionDocumentSize)
            throw std::runtime_error("Version document larger than " + std::to_string(kMaxVersionDocumentSize) +
                                     " bytes");
    }
    std::string& m_Body;
};

constexpr std::chrono::minutes kVersionDocumentDeadline{15};

// Fetches the detached signature of `body` with the client that fetched it.
void VerifySignature(THttpClient& client, const std::string& url, const std::string& body, const TReleaseKeys& keys) {
    std::string signature;
    const THttpResponse response = client.Get(url + ".sig", signature, kMaxSignatureFileSize);
    if (response.nStatus == 404) throw TReleaseRefused(refusal::kSignature, "no signature at " + url + ".sig");
    if (response.nStatus != 200)
        throw std::runtime_error("Signature answer StatusCode=" + std::to_string(response.nStatus));
    if (!keys.Verifies(body, signature))
        throw TReleaseRefused(refusal::kSignature, "the signature at " + url + ".sig is not one of a trusted key");
}

std::string ExceptionText(const std::string& message, int32_t lastError, const std::string& text) {
    std::string result = "Exception=\"" + message + "\" LastErrorCode=" + std::to_string(lastError);
    return text.empty() ? result : result + " " + text;
}

}  // namespace

bool ReadVersionInfo(const std::string& url, TVantixVersion& version, std::string& text,
                     const TProxySettings* proxy, int32_t& lastError, const std::function<bool()>& shouldAbort,
                     const TReleaseCheck* check) {
    text = "URL=\"" + url + "\"";
    lastError = 0;
    if (proxy != nullptr) text += " Proxy=True";
    try {
        THttpClient client;
        client.SetHeaders({"Connection: Keep-Alive"});
        if (proxy != nullptr) client.SetProxy(*proxy);
        if (shouldAbort) client.SetAbortCheck(shouldAbort);
        // The largest document at a slow link's pace, and no longer.
        client.SetTransferDeadline(kVersionDocumentDeadline);
        std::string body;
        TVersionDocumentSink sink(body);
        const THttpResponse response = client.Get(url, sink);
        if (response.nStatus != 200) {
            text = "StatusCode=" + std::to_string(response.nStatus) + " " + text;
            return false;
        }
        const bool bSigned = check != nullptr && check->Keys.Enforced();
        if (bSigned) VerifySignature(client, url, body, check->Keys);
        ReadVersionDocument(body, version);
        if (bSigned) CheckSignedRelease(version, *check, std::chrono::system_clock::now());
        return true;
    } catch (const TReleaseRefused& e) {
        lastError = kReleaseRefused;
        text = e.Text() + " " + text;
    } catch (const THttpError& e) {
        lastError = e.IsTlsFailure() ? kSecureChannelFailure : e.Code();
        text = ExceptionText(e.what(), lastError, text);
    } catch (const std::exception& e) {
        text = ExceptionText(e.what(), lastError, text);
    } catch (...) {
        text = ExceptionText("unknown failure", lastError, text);
    }
    return false;
}

bool GetVersionInfo(const TVersionQuery& query, TVantixVersion& version, std::string& text,
                    int32_t& lastError, const TProxySettings* proxy) {
    text.clear();
    lastError = 0;
    std::string url;
    try {
        url = BuildVersionUrl(query);
    } catch (const std::exception& e) {
        text = ExceptionText(e.what(), lastError, "");
        return false;
    }
    TReleaseCheck check = query.Trust;
    check.Expected = {query.strProduct, VersionChannelPath(query), VersionLocaleSegment(query)};
    return ReadVersionInfo(url, version, text, proxy, lastError, query.fnShouldAbort, &check);
}
