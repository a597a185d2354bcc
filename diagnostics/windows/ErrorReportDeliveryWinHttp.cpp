#include <algorithm>
#include <chrono>
#include <string>

#include "diagnostics/ErrorReportDeliverySystem.h"
#include "platform/windows/WideString.h"
#include "service/HttpClient.h"
#include "service/windows/ExtraTrust.h"
#include "service/windows/WinHttpRequest.h"

namespace {

using TClock = std::chrono::steady_clock;

// WinHTTP adds Host and, from the size given to the send, Content-Length.
constexpr const wchar_t* kHeaders =
    L"Content-Type: application/x-www-form-urlencoded\r\n"
    L"User-Agent: Mozilla/4.0\r\n"
    L"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";

[[noreturn]] void Refuse(DWORD nError, const TWinHttpRequest* request = nullptr) {
    std::string text = WinHttpErrorText(nError);
    if (request != nullptr && request->SecureFailureFlags() != 0) text += ": the server's certificate was refused";
    throw TReportDeliveryError(text);
}

// Ends the post once no byte has moved for the idle limit, as curl's
// one-byte-a-second floor does on Linux.
class TIdleWatch {
public:
    explicit TIdleWatch(std::chrono::seconds tIdleLimit) : m_tIdleLimit(tIdleLimit) {}
    void Moved() { m_tLast = TClock::now(); }
    std::chrono::milliseconds Check() const {
        const auto tIdle = TClock::now() - m_tLast;
        if (tIdle >= m_tIdleLimit) throw TReportDeliveryError(WinHttpErrorText(ERROR_WINHTTP_TIMEOUT));
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_tIdleLimit - tIdle) +
               std::chrono::milliseconds(1);
    }

private:
    const std::chrono::seconds m_tIdleLimit;
    TClock::time_point m_tLast = TClock::now();
};

}  // namespace

long SendErrorReport(const TErrorReportPost& post) {
    TWinHttpUrl target;
    try {
        target = CrackHttpUrl(post.strUrl);
    } catch (const THttpError& e) {
        throw TReportDeliveryError(e.what());
    }
    const auto trust = TExtraTrust::FromEnvironment();
    if (target.bSecure && trust->Unusable()) throw TReportDeliveryError(trust->Problem());

    // Never through a proxy, whatever the user chose or the system's settings say.
    TWinHttpHandle session;
    try {
        session = OpenWinHttpSession(L"");
    } catch (const THttpError& e) {
        throw TReportDeliveryError(e.what());
    }
    const TWinHttpHandle connection(WinHttpConnect(session.get(), target.strHost.c_str(), target.nPort, 0));
    if (!connection) Refuse(GetLastError());
    // HTTP/1.0, as the service has always been spoken to.
    TWinHttpRequest request(connection.get(), L"POST", target.strPathAndQuery, target.bSecure, L"HTTP/1.0");
    HINTERNET h = request.Handle();
    DWORD nFeatures = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(h, WINHTTP_OPTION_DISABLE_FEATURE, &nFeatures, sizeof nFeatures);
    const int nConnectMs = static_cast<int>(post.tConnectTimeout.count());
    const int nIdleMs = static_cast<int>(std::chrono::milliseconds(post.tIdleLimit).count());
    WinHttpSetTimeouts(h, nConnectMs, nConnectMs, nIdleMs + 5000, nIdleMs + 5000);
    if (target.bSecure && trust->Configured()) {
        if (const DWORD nError = trust->Prepare(h)) Refuse(nError);
        request.SetCertificateCheck(
            [trust, host = target.strHost](HINTERNET hRequest) { return trust->CheckServer(hRequest, host); });
    }

    TIdleWatch watch(post.tIdleLimit);
    const TWinHttpRequest::TCheck check = [&watch] { return watch.Check(); };
    // The body goes out only after the send has completed, which is after the
    // server's certificate passed: no byte of the report crosses an
    // unverified channel, whichever way WinHTTP orders its own work.
    if (const DWORD nError = request.Send(kHeaders, static_cast<DWORD>(post.strBody.size()), check))
        Refuse(nError, &request);
    watch.Moved();
    for (size_t at = 0; at < post.strBody.size();) {
        const DWORD nPiece = static_cast<DWORD>(std::min<size_t>(post.strBody.size() - at, 64 * 1024));
        if (const DWORD nError = request.Write(post.strBody.data() + at, nPiece, check)) Refuse(nError);
        watch.Moved();
        at += nPiece;
    }
    if (const DWORD nError = request.ReceiveResponse(check)) Refuse(nError);
    DWORD nStatus = 0;
    DWORD nSize = sizeof nStatus;
    WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &nStatus, &nSize, WINHTTP_NO_HEADER_INDEX);
    if (nStatus >= 400) throw TReportDeliveryError("the service answered with status " + std::to_string(nStatus));
    // The answer's body means nothing to us; it is read only so that the
    // exchange ends as the server meant it to.
    for (DWORD nRead = 1; nRead > 0;) {
        if (request.Read(nRead, check) != 0) break;
        watch.Moved();
    }
    return static_cast<long>(nStatus);
}
