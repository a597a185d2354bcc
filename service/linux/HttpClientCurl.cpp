#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string_view>
#include <type_traits>

#include "service/HttpClient.h"
#include "service/HttpClientParts.h"
#include "service/linux/CurlGlobalInit.h"

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// Extra trusted certificates for staging and test servers, added to (not
// replacing) the system's trust store.
CURLcode AddExtraCertificates(CURL*, void* sslContext, void* user) {
    const char* path = static_cast<const char*>(user);
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    return X509_STORE_load_file(store, path) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

const char* ExtraCaBundle() {
    const char* path = std::getenv("ORLADESK_CA_BUNDLE");
    return (path != nullptr && *path != '\0') ? path : nullptr;
}

// State of one request, reached from curl's callbacks.
struct TTransfer {
    IHttpBodySink& sink;
    const THttpClient::TProgress& progress;
    const THttpClient::TAbortCheck& shouldAbort;
    THttpResponse response;
    bool bReserved = false;
    std::exception_ptr failure;
};

size_t OnHeader(char* buffer, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t nBytes = size * count;
    std::string_view line(buffer, nBytes);
    THttpResponse& response = transfer->response;
    if (StartsWithNoCase(line, "HTTP/")) {
        // Each status line starts a new answer: a proxy's CONNECT reply or a
        // "100 Continue" comes before the one that counts.
        response.strStatusText.clear();
        response.nContentLength = -1;
        std::string_view rest = TrimHeaderText(line);
        auto first = rest.find(' ');
        if (first != std::string_view::npos) {
            auto second = rest.find(' ', first + 1);
            if (second != std::string_view::npos)
                response.strStatusText = std::string(TrimHeaderText(rest.substr(second + 1)));
        }
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        response.nContentLength = ParseContentLength(line.substr(std::strlen("Content-Length:")));
    } else if (TrimHeaderText(line).empty() && response.nContentLength >= 0 && !transfer->bReserved) {
        transfer->bReserved = true;
        try {
            transfer->sink.Reserve(std::min<uint64_t>(response.nContentLength, kMaxBodyReserve));
        } catch (...) {
            transfer->failure = std::current_exception();
            return 0;
        }
    }
    return nBytes;
}

size_t OnBody(char* buffer, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t nBytes = size * count;
    try {
        transfer->sink.Write(buffer, nBytes);
        transfer->response.nReceived += nBytes;
        if (transfer->progress) transfer->progress(transfer->response.nReceived);
    } catch (...) {
        // An exception must not cross curl's C frames; it is rethrown after perform.
        transfer->failure = std::current_exception();
        return 0;
    }
    return nBytes;
}

// Non-zero makes curl end the transfer with CURLE_ABORTED_BY_CALLBACK.
int OnTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<TTransfer*>(user);
    if (!transfer->shouldAbort) return 0;
    try {
        return transfer->shouldAbort() ? 1 : 0;
    } catch (...) {
        transfer->failure = std::current_exception();
        return 1;
    }
}

}  // namespace

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool THttpError::IsAborted() const { return Code() == CURLE_ABORTED_BY_CALLBACK; }

bool THttpError::IsTlsFailure() const {
    switch (Code()) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            return true;
        default:
            return false;
    }
}

struct THttpClient::TImpl {
    struct TCurlFree {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };
    std::unique_ptr<CURL, TCurlFree> hCurl;
    std::unique_ptr<curl_slist, TCurlFree> pHeaderList;
    std::vector<std::string> lstHeaders;
    char szError[CURL_ERROR_SIZE] = {};

    void ApplyHeaders() {
        curl_slist* list = nullptr;
        bool bHasAccept = false;
        for (const std::string& header : lstHeaders) {
            bHasAccept = bHasAccept || StartsWithNoCase(header, "Accept:");
            list = curl_slist_append(list, header.c_str());
        }
        // curl adds "Accept: */*" unless told otherwise; we send only what was asked for.
        if (!bHasAccept) list = curl_slist_append(list, "Accept:");
        if (list == nullptr) throw THttpError("curl_slist_append failed", CURLE_OUT_OF_MEMORY);
        curl_easy_setopt(hCurl.get(), CURLOPT_HTTPHEADER, list);
        pHeaderList.reset(list);
    }
};

THttpClient::THttpClient() : m_Impl(std::make_unique<TImpl>()) {
    EnsureCurlGlobalInit();
    m_Impl->hCurl.reset(curl_easy_init());
    if (!m_Impl->hCurl) throw THttpError("curl_easy_init failed", CURLE_FAILED_INIT);
    CURL* curl = m_Impl->hCurl.get();
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_Impl->szError);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    // The transfer-info callback is what curl calls even while no byte arrives.
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnTransferInfo);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    if (const char* caFile = ExtraCaBundle()) {
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCertificates);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, caFile);
    }
    SetConnectTimeout(kDefaultConnectTimeout);
    SetLowSpeedLimit(kDefaultLowSpeedBytes, kDefaultLowSpeedTime);
    SetProxy(TProxySettings{});
    m_Impl->ApplyHeaders();
}

THttpClient::~THttpClient() = default;

void THttpClient::SetProxy(const TProxySettings& proxy) {
    m_Proxy = proxy;
    CURL* curl = m_Impl->hCurl.get();
    // An empty proxy text (not a null one) keeps curl from picking up
    // http_proxy and friends behind our back; the same for no_proxy.
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    if (proxy.FHost.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_PROXYPORT, 0L);
        curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, nullptr);
        return;
    }
    std::string host = proxy.FHost;
    // A bare IPv6 literal needs brackets, or curl reads its colons as a port.
    if (host.find(':') != std::string::npos && host.front() != '[' && host.find("://") == std::string::npos)
        host = "[" + host + "]";
    std::string scheme = proxy.FScheme;
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool bSocks = scheme == "socks5" || scheme == "socks5h";
    curl_easy_setopt(curl, CURLOPT_PROXY, host.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(proxy.FPort));
    curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(bSocks ? CURLPROXY_SOCKS5_HOSTNAME : CURLPROXY_HTTP));
    if (proxy.FUserName.empty() && proxy.FPassword.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, nullptr);
    } else {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.FUserName.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.FPassword.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

void THttpClient::SetAcceptEncoding(const std::string& encodings) {
    curl_easy_setopt(m_Impl->hCurl.get(), CURLOPT_ACCEPT_ENCODING, encodings.empty() ? nullptr : encodings.c_str());
}

void THttpClient::SetHeaders(const std::vector<std::string>& headers) {
    m_Impl->lstHeaders = headers;
    m_Impl->ApplyHeaders();
}

void THttpClient::SetConnectTimeout(std::chrono::milliseconds timeout) {
    curl_easy_setopt(m_Impl->hCurl.get(), CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
}

void THttpClient::SetTransferDeadline(std::chrono::milliseconds tDeadline) {
    curl_easy_setopt(m_Impl->hCurl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(tDeadline.count()));
}

void THttpClient::SetLowSpeedLimit(long nBytesPerSecond, std::chrono::seconds tTime) {
    curl_easy_setopt(m_Impl->hCurl.get(), CURLOPT_LOW_SPEED_LIMIT, nBytesPerSecond);
    curl_easy_setopt(m_Impl->hCurl.get(), CURLOPT_LOW_SPEED_TIME, static_cast<long>(tTime.count()));
}

THttpResponse THttpClient::Get(const std::string& url, IHttpBodySink& sink) {
    CURL* curl = m_Impl->hCurl.get();
    TTransfer transfer{sink, m_Progress, m_ShouldAbort, {}, false, nullptr};
    m_Impl->szError[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, nullptr);
    if (transfer.failure) std::rethrow_exception(transfer.failure);
    if (rc != CURLE_OK) {
        long nOsErrno = 0;
        curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &nOsErrno);
        std::string message = m_Impl->szError[0] != '\0' ? m_Impl->szError : curl_easy_strerror(rc);
        throw THttpError(message, rc, nOsErrno);
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &transfer.response.nStatus);
    return transfer.response;
}
