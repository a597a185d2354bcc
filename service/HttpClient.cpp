#include "service/HttpClient.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <stdexcept>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string_view>
#include <type_traits>

namespace {

// A hostile or broken Content-Length must not make us allocate gigabytes up
// front; the buffer still grows past this when the body really is larger.
constexpr uint64_t kMaxReserve = 64ull * 1024 * 1024;

CURL* Curl(void* handle) { return static_cast<CURL*>(handle); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string_view TrimLine(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

class TStringSink : public IHttpBodySink {
public:
    TStringSink(std::string& body, uint64_t nMaxBytes) : m_Body(body), m_nMaxBytes(nMaxBytes) {}
    void Reserve(uint64_t nBytes) override { m_Body.reserve(static_cast<size_t>(std::min(nBytes, m_nMaxBytes))); }
    void Write(const char* pData, size_t nSize) override {
        if (nSize > m_nMaxBytes - m_Body.size())
            throw std::length_error("Body larger than " + std::to_string(m_nMaxBytes) + " bytes");
        m_Body.append(pData, nSize);
    }

private:
    std::string& m_Body;
    const uint64_t m_nMaxBytes;
};

class TBytesSink : public IHttpBodySink {
public:
    explicit TBytesSink(std::vector<uint8_t>& body) : m_Body(body) {}
    void Reserve(uint64_t nBytes) override { m_Body.reserve(static_cast<size_t>(nBytes)); }
    void Write(const char* pData, size_t nSize) override {
        m_Body.insert(m_Body.end(), reinterpret_cast<const uint8_t*>(pData),
                      reinterpret_cast<const uint8_t*>(pData) + nSize);
    }

private:
    std::vector<uint8_t>& m_Body;
};

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

}  // namespace

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

THttpError::THttpError(const std::string& message, int nCurlCode, long nOsErrno)
    : std::runtime_error(message), m_nCurlCode(nCurlCode), m_nOsErrno(nOsErrno) {}

bool THttpError::IsAborted() const { return m_nCurlCode == CURLE_ABORTED_BY_CALLBACK; }

bool THttpError::IsTlsFailure() const {
    switch (m_nCurlCode) {
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

void THttpClient::TCurlDeleter::operator()(void* handle) const {
    if (handle != nullptr) curl_easy_cleanup(static_cast<CURL*>(handle));
}

void THttpClient::TSlistDeleter::operator()(void* list) const {
    if (list != nullptr) curl_slist_free_all(static_cast<curl_slist*>(list));
}

// State of one request, reached from curl's callbacks.
struct THttpClient::TTransfer {
    IHttpBodySink& sink;
    const TProgress& progress;
    const TAbortCheck& shouldAbort;
    THttpResponse response;
    bool bReserved = false;
    std::exception_ptr failure;
};

// The header declares the callback with int64_t so that it need not include curl.
static_assert(std::is_same_v<curl_off_t, int64_t>);

THttpClient::THttpClient() {
    EnsureCurlGlobalInit();
    m_hCurl.reset(curl_easy_init());
    if (!m_hCurl) throw THttpError("curl_easy_init failed", CURLE_FAILED_INIT);
    CURL* curl = Curl(m_hCurl.get());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_szError);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &THttpClient::OnHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &THttpClient::OnBody);
    // The transfer-info callback is what curl calls even while no byte arrives.
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &THttpClient::OnTransferInfo);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    if (const char* caFile = ExtraCaBundle()) {
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCertificates);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, caFile);
    }
    SetConnectTimeout(kDefaultConnectTimeout);
    SetLowSpeedLimit(kDefaultLowSpeedBytes, kDefaultLowSpeedTime);
    SetProxy(TProxySettings{});
    ApplyHeaders();
}

THttpClient::~THttpClient() = default;

void THttpClient::SetProxy(const TProxySettings& proxy) {
    m_Proxy = proxy;
    CURL* curl = Curl(m_hCurl.get());
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
    if (host.find(':') != std::string::npos && host.front() != '[' &&
        host.find("://") == std::string::npos)
        host = "[" + host + "]";
    std::string scheme = proxy.FScheme;
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool bSocks = scheme == "socks5" || scheme == "socks5h";
    curl_easy_setopt(curl, CURLOPT_PROXY, host.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(proxy.FPort));
    curl_easy_setopt(curl, CURLOPT_PROXYTYPE,
                     static_cast<long>(bSocks ? CURLPROXY_SOCKS5_HOSTNAME : CURLPROXY_HTTP));
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
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_ACCEPT_ENCODING,
                     encodings.empty() ? nullptr : encodings.c_str());
}

void THttpClient::SetHeaders(const std::vector<std::string>& headers) {
    m_lstHeaders = headers;
    ApplyHeaders();
}

void THttpClient::ApplyHeaders() {
    curl_slist* list = nullptr;
    bool bHasAccept = false;
    for (const std::string& header : m_lstHeaders) {
        bHasAccept = bHasAccept || StartsWithNoCase(header, "Accept:");
        list = curl_slist_append(list, header.c_str());
    }
    // curl adds "Accept: */*" unless told otherwise; we send only what was asked for.
    if (!bHasAccept) list = curl_slist_append(list, "Accept:");
    if (list == nullptr) throw THttpError("curl_slist_append failed", CURLE_OUT_OF_MEMORY);
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_HTTPHEADER, list);
    m_pHeaderList.reset(list);
}

void THttpClient::SetConnectTimeout(std::chrono::milliseconds timeout) {
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
}

void THttpClient::SetTransferDeadline(std::chrono::milliseconds tDeadline) {
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_TIMEOUT_MS, static_cast<long>(tDeadline.count()));
}

void THttpClient::SetLowSpeedLimit(long nBytesPerSecond, std::chrono::seconds tTime) {
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_LOW_SPEED_LIMIT, nBytesPerSecond);
    curl_easy_setopt(Curl(m_hCurl.get()), CURLOPT_LOW_SPEED_TIME, static_cast<long>(tTime.count()));
}

void THttpClient::SetProgressCallback(TProgress progress) { m_Progress = std::move(progress); }

void THttpClient::SetAbortCheck(TAbortCheck shouldAbort) { m_ShouldAbort = std::move(shouldAbort); }

size_t THttpClient::OnHeader(char* buffer, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t nBytes = size * count;
    std::string_view line(buffer, nBytes);
    THttpResponse& response = transfer->response;
    if (StartsWithNoCase(line, "HTTP/")) {
        // Each status line starts a new answer: a proxy's CONNECT reply or a
        // "100 Continue" comes before the one that counts.
        response.strStatusText.clear();
        response.nContentLength = -1;
        std::string_view rest = TrimLine(line);
        auto first = rest.find(' ');
        if (first != std::string_view::npos) {
            auto second = rest.find(' ', first + 1);
            if (second != std::string_view::npos)
                response.strStatusText = std::string(TrimLine(rest.substr(second + 1)));
        }
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        std::string_view value = TrimLine(line.substr(std::strlen("Content-Length:")));
        int64_t length = 0;
        bool bValid = !value.empty() && value.size() <= 18;
        for (char c : value) {
            if (c < '0' || c > '9') { bValid = false; break; }
            length = length * 10 + (c - '0');
        }
        response.nContentLength = bValid ? length : -1;
    } else if (TrimLine(line).empty() && response.nContentLength >= 0 && !transfer->bReserved) {
        transfer->bReserved = true;
        try {
            transfer->sink.Reserve(std::min<uint64_t>(response.nContentLength, kMaxReserve));
        } catch (...) {
            transfer->failure = std::current_exception();
            return 0;
        }
    }
    return nBytes;
}

size_t THttpClient::OnBody(char* buffer, size_t size, size_t count, void* user) {
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
int THttpClient::OnTransferInfo(void* user, int64_t, int64_t, int64_t, int64_t) {
    auto* transfer = static_cast<TTransfer*>(user);
    if (!transfer->shouldAbort) return 0;
    try {
        return transfer->shouldAbort() ? 1 : 0;
    } catch (...) {
        transfer->failure = std::current_exception();
        return 1;
    }
}

THttpResponse THttpClient::Get(const std::string& url, IHttpBodySink& sink) {
    CURL* curl = Curl(m_hCurl.get());
    TTransfer transfer{sink, m_Progress, m_ShouldAbort, {}, false, nullptr};
    m_szError[0] = '\0';
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
        std::string message = m_szError[0] != '\0' ? m_szError : curl_easy_strerror(rc);
        throw THttpError(message, rc, nOsErrno);
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &transfer.response.nStatus);
    return transfer.response;
}

THttpResponse THttpClient::Get(const std::string& url, std::string& body, uint64_t nMaxBytes) {
    body.clear();
    TStringSink sink(body, nMaxBytes);
    return Get(url, sink);
}

THttpResponse THttpClient::Get(const std::string& url, std::vector<uint8_t>& body) {
    body.clear();
    TBytesSink sink(body);
    return Get(url, sink);
}
