#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "platform/windows/WideString.h"
#include "service/HttpClient.h"
#include "service/HttpClientParts.h"
#include "service/windows/ContentDecoder.h"
#include "service/windows/ExtraTrust.h"
#include "service/windows/WinHttpRequest.h"

namespace {

using std::chrono::milliseconds;
using TClock = std::chrono::steady_clock;

constexpr long kProxyAuthenticationRequired = 407;
// A request WinHTTP asks to send again (ERROR_WINHTTP_RESEND_REQUEST, or a
// proxy's 407 once credentials are set) is sent at most this often.
constexpr int kMaxSends = 3;

bool IsSocks(const TProxySettings& proxy) {
    std::string scheme = proxy.FScheme;
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return !proxy.FHost.empty() && (scheme == "socks5" || scheme == "socks5h");
}

// Decides, each time a pending operation is looked at, whether the transfer
// may go on: the owner's abort check, the deadline, and the low-speed limit
// (below nLowBytes a second for tLowTime ends it, as curl's limit does).
class TTransferWatch {
public:
    TTransferWatch(const THttpClient::TAbortCheck& shouldAbort, long nLowBytes, std::chrono::seconds tLowTime,
                   milliseconds tDeadline)
        : m_ShouldAbort(shouldAbort), m_nLowBytes(nLowBytes), m_tLowTime(tLowTime) {
        if (tDeadline.count() > 0) m_tDeadline = m_tStart + tDeadline;
    }

    void Count(uint64_t nBytes) { m_nBytes += nBytes; }

    milliseconds Check() {
        if (m_ShouldAbort && m_ShouldAbort())
            throw THttpError("Operation was aborted by the caller", ERROR_WINHTTP_OPERATION_CANCELLED);
        const TClock::time_point now = TClock::now();
        if (m_tDeadline && now >= *m_tDeadline)
            throw THttpError(WinHttpErrorText(ERROR_WINHTTP_TIMEOUT) + ": the transfer took longer than its deadline",
                             ERROR_WINHTTP_TIMEOUT);
        CheckSpeed(now);
        milliseconds tSleep = std::chrono::duration_cast<milliseconds>(m_tSample + kSample - now);
        if (m_tDeadline)
            tSleep = std::min(tSleep, std::chrono::duration_cast<milliseconds>(*m_tDeadline - now) + milliseconds(1));
        return tSleep;
    }

private:
    static constexpr milliseconds kSample{1000};

    void CheckSpeed(TClock::time_point now) {
        if (m_nLowBytes <= 0 || m_tLowTime.count() <= 0) return;
        const auto tElapsed = now - m_tSample;
        if (tElapsed >= kSample) {
            const double dSeconds = std::chrono::duration<double>(tElapsed).count();
            const bool bSlow = static_cast<double>(m_nBytes - m_nSampleBytes) / dSeconds < m_nLowBytes;
            if (!bSlow)
                m_tSlowSince.reset();
            else if (!m_tSlowSince)
                m_tSlowSince = m_tSample;
            m_tSample = now;
            m_nSampleBytes = m_nBytes;
        }
        if (m_tSlowSince && now - *m_tSlowSince >= m_tLowTime)
            throw THttpError(WinHttpErrorText(ERROR_WINHTTP_TIMEOUT) + ": less than " + std::to_string(m_nLowBytes) +
                                 " bytes a second for " + std::to_string(m_tLowTime.count()) + " s",
                             ERROR_WINHTTP_TIMEOUT);
    }

    const THttpClient::TAbortCheck& m_ShouldAbort;
    const long m_nLowBytes;
    const std::chrono::seconds m_tLowTime;
    const TClock::time_point m_tStart = TClock::now();
    std::optional<TClock::time_point> m_tDeadline;
    TClock::time_point m_tSample = m_tStart;
    uint64_t m_nBytes = 0;
    uint64_t m_nSampleBytes = 0;
    std::optional<TClock::time_point> m_tSlowSince;
};

std::string SecureFailureText(DWORD nFlags) {
    if (nFlags & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA) return ": the server's certificate is not trusted";
    if (nFlags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) return ": the server's certificate names another host";
    if (nFlags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) return ": the server's certificate is out of date";
    if (nFlags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED) return ": the server's certificate is revoked";
    if (nFlags != 0) return ": the server's certificate is not valid";
    return {};
}

[[noreturn]] void ThrowRequestError(DWORD nError, const TWinHttpRequest& request, const std::string& where) {
    throw THttpError(WinHttpErrorText(nError) + SecureFailureText(request.SecureFailureFlags()) + " (" + where + ")",
                     static_cast<int>(nError));
}

// The scheme curl's CURLAUTH_ANY would take: the strongest the proxy offers.
DWORD StrongestScheme(DWORD nSupported) {
    for (DWORD nScheme : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_DIGEST,
                          WINHTTP_AUTH_SCHEME_BASIC})
        if (nSupported & nScheme) return nScheme;
    return 0;
}

}  // namespace

bool THttpError::IsAborted() const { return Code() == ERROR_WINHTTP_OPERATION_CANCELLED; }

bool THttpError::IsTlsFailure() const {
    switch (Code()) {
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return true;
        default:
            return false;
    }
}

struct THttpClient::TImpl {
    TWinHttpHandle hSession;
    TWinHttpHandle hConnect;
    std::wstring strConnectHost;
    INTERNET_PORT nConnectPort = 0;
    std::vector<std::string> lstHeaders;
    std::string strAcceptEncoding;
    milliseconds tConnectTimeout = kDefaultConnectTimeout;
    long nLowSpeedBytes = kDefaultLowSpeedBytes;
    std::chrono::seconds tLowSpeedTime = kDefaultLowSpeedTime;
    milliseconds tDeadline{0};
    std::shared_ptr<const TExtraTrust> trust = TExtraTrust::FromEnvironment();

    // The proxy belongs to the session: a proxy set on a request alone is not
    // honoured everywhere (Wine ignores it). Without a proxy of ours none is
    // used, whatever the system's settings say, as with curl's empty proxy.
    void OpenSession(const TProxySettings& proxy) {
        hConnect.reset();
        hSession.reset();
        std::wstring address;
        if (!proxy.FHost.empty()) {
            std::string host = proxy.FHost;
            if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
            address = Widen(proxy.FPort > 0 ? host + ":" + std::to_string(proxy.FPort) : host);
        }
        hSession = OpenWinHttpSession(address);
    }

    // WinHTTP keeps the session's connections alive and pools them per
    // server; one connection handle per server is all it needs from us.
    HINTERNET Connection(const TWinHttpUrl& target) {
        if (hConnect && strConnectHost == target.strHost && nConnectPort == target.nPort) return hConnect.get();
        hConnect.reset(WinHttpConnect(hSession.get(), target.strHost.c_str(), target.nPort, 0));
        if (!hConnect) {
            const DWORD nError = GetLastError();
            throw THttpError(WinHttpErrorText(nError), static_cast<int>(nError));
        }
        strConnectHost = target.strHost;
        nConnectPort = target.nPort;
        return hConnect.get();
    }

    std::wstring RequestHeaders() const {
        std::string text;
        if (!strAcceptEncoding.empty()) text += "Accept-Encoding: " + strAcceptEncoding + "\r\n";
        for (const std::string& header : lstHeaders) text += header + "\r\n";
        return Widen(text);
    }

    // The send and receive time-outs only free WinHTTP's own wait on a socket
    // that has gone quiet; the watch ends the request long before them.
    int SocketTimeoutMs() const {
        if (nLowSpeedBytes > 0 && tLowSpeedTime.count() > 0)
            return static_cast<int>(std::chrono::duration_cast<milliseconds>(tLowSpeedTime).count()) + 5000;
        if (tDeadline.count() > 0) return static_cast<int>(tDeadline.count()) + 5000;
        return 0;  // none, as with curl when neither limit is set
    }

    void Configure(TWinHttpRequest& request, const TWinHttpUrl& target) const {
        HINTERNET h = request.Handle();
        DWORD nFeatures = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
        WinHttpSetOption(h, WINHTTP_OPTION_DISABLE_FEATURE, &nFeatures, sizeof nFeatures);
        const int nConnectMs = static_cast<int>(tConnectTimeout.count());
        WinHttpSetTimeouts(h, nConnectMs, nConnectMs, SocketTimeoutMs(), SocketTimeoutMs());
        if (target.bSecure && trust->Configured()) {
            if (trust->Unusable()) throw THttpError(trust->Problem(), ERROR_WINHTTP_SECURE_FAILURE);
            if (const DWORD nError = trust->Prepare(h))
                throw THttpError(WinHttpErrorText(nError), static_cast<int>(nError));
            request.SetCertificateCheck([trust = trust, host = target.strHost](HINTERNET hRequest) {
                return trust->CheckServer(hRequest, host);
            });
        }
    }
};

THttpClient::THttpClient() : m_Impl(std::make_unique<TImpl>()) { m_Impl->OpenSession(m_Proxy); }

THttpClient::~THttpClient() = default;

void THttpClient::SetProxy(const TProxySettings& proxy) {
    const bool bSameServer = proxy.FHost == m_Proxy.FHost && proxy.FPort == m_Proxy.FPort;
    m_Proxy = proxy;
    if (!bSameServer) m_Impl->OpenSession(m_Proxy);
}

void THttpClient::SetAcceptEncoding(const std::string& encodings) { m_Impl->strAcceptEncoding = encodings; }

void THttpClient::SetHeaders(const std::vector<std::string>& headers) { m_Impl->lstHeaders = headers; }

void THttpClient::SetConnectTimeout(milliseconds timeout) { m_Impl->tConnectTimeout = timeout; }

void THttpClient::SetTransferDeadline(milliseconds tDeadline) { m_Impl->tDeadline = tDeadline; }

void THttpClient::SetLowSpeedLimit(long nBytesPerSecond, std::chrono::seconds tTime) {
    m_Impl->nLowSpeedBytes = nBytesPerSecond;
    m_Impl->tLowSpeedTime = tTime;
}

THttpResponse THttpClient::Get(const std::string& url, IHttpBodySink& sink) {
    TImpl& impl = *m_Impl;
    if (IsSocks(m_Proxy))
        throw THttpError("SOCKS 5 proxies are not supported on Windows, WinHTTP speaks to HTTP proxies only (proxy " +
                             m_Proxy.FHost + ":" + std::to_string(m_Proxy.FPort) + ")",
                         ERROR_NOT_SUPPORTED);
    const TWinHttpUrl target = CrackHttpUrl(url);
    const std::string where = Narrow(target.strHost) + ":" + std::to_string(target.nPort);
    TTransferWatch watch(m_ShouldAbort, impl.nLowSpeedBytes, impl.tLowSpeedTime, impl.tDeadline);
    const TWinHttpRequest::TCheck check = [&watch] { return watch.Check(); };

    TWinHttpRequest request(impl.Connection(target), L"GET", target.strPathAndQuery, target.bSecure);
    impl.Configure(request, target);
    const std::wstring headers = impl.RequestHeaders();
    THttpResponse response;
    bool bCredentialsOffered = false;
    for (int nSend = 1;; ++nSend) {
        if (const DWORD nError = request.Send(headers, 0, check)) ThrowRequestError(nError, request, where);
        const DWORD nError = request.ReceiveResponse(check);
        if (nError == ERROR_WINHTTP_RESEND_REQUEST && nSend < kMaxSends) continue;
        if (nError != 0) ThrowRequestError(nError, request, where);
        DWORD nStatus = 0;
        DWORD nSize = sizeof nStatus;
        WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &nStatus, &nSize, WINHTTP_NO_HEADER_INDEX);
        response.nStatus = static_cast<long>(nStatus);
        const bool bHasCredentials = !m_Proxy.FUserName.empty() || !m_Proxy.FPassword.empty();
        if (response.nStatus != kProxyAuthenticationRequired || bCredentialsOffered || !bHasCredentials ||
            nSend >= kMaxSends)
            break;
        DWORD nSupported = 0, nFirst = 0, nTarget = 0;
        if (!WinHttpQueryAuthSchemes(request.Handle(), &nSupported, &nFirst, &nTarget)) break;
        const DWORD nScheme = StrongestScheme(nSupported);
        const std::wstring user = Widen(m_Proxy.FUserName), password = Widen(m_Proxy.FPassword);
        if (nScheme == 0 || !WinHttpSetCredentials(request.Handle(), WINHTTP_AUTH_TARGET_PROXY, nScheme, user.c_str(),
                                                   password.c_str(), nullptr))
            break;
        bCredentialsOffered = true;
    }

    std::wstring text;
    if (request.QueryText(WINHTTP_QUERY_STATUS_TEXT, text)) response.strStatusText = Narrow(text);
    if (request.QueryText(WINHTTP_QUERY_CONTENT_LENGTH, text))
        response.nContentLength = ParseContentLength(Narrow(text));
    if (response.nContentLength >= 0) sink.Reserve(std::min<uint64_t>(response.nContentLength, kMaxBodyReserve));
    std::string encoding;
    if (!impl.strAcceptEncoding.empty() && request.QueryText(WINHTTP_QUERY_CONTENT_ENCODING, text))
        encoding = Narrow(text);
    TContentDecoder decoder(encoding);
    const TContentDecoder::TOutput deliver = [&](const char* pData, size_t nSize) {
        sink.Write(pData, nSize);
        response.nReceived += nSize;
        if (m_Progress) m_Progress(response.nReceived);
    };
    uint64_t nRaw = 0;
    for (;;) {
        DWORD nRead = 0;
        if (const DWORD nError = request.Read(nRead, check)) ThrowRequestError(nError, request, where);
        if (nRead == 0) break;
        nRaw += nRead;
        watch.Count(nRead);
        decoder.Feed(request.Buffer(), nRead, deliver);
    }
    // WinHTTP may report a connection closed early as the body's end.
    if (response.nContentLength >= 0 && nRaw < static_cast<uint64_t>(response.nContentLength))
        throw THttpError("Transfer closed with " + std::to_string(response.nContentLength - nRaw) +
                             " bytes remaining to read (" + where + ")",
                         ERROR_WINHTTP_CONNECTION_ERROR);
    decoder.Finish();
    return response;
}
