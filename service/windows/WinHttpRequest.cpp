#include "service/windows/WinHttpRequest.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/windows/WideString.h"
#include "service/HttpClient.h"

namespace {

constexpr size_t kReadBufferSize = 64 * 1024;
constexpr std::chrono::milliseconds kLongestSleep{1000};

struct TErrorName {
    DWORD nError;
    const char* szText;
};

// WinHTTP's own messages live in winhttp.dll's resources, which not every
// system (Wine among them) carries; the ones a user may meet are named here.
constexpr TErrorName kErrorNames[] = {
    {ERROR_WINHTTP_TIMEOUT, "Timeout was reached"},
    {ERROR_WINHTTP_NAME_NOT_RESOLVED, "Could not resolve the host name"},
    {ERROR_WINHTTP_CANNOT_CONNECT, "Couldn't connect to server"},
    {ERROR_WINHTTP_CONNECTION_ERROR, "The connection with the server was reset"},
    {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "The server's answer is not valid HTTP"},
    {ERROR_WINHTTP_OPERATION_CANCELLED, "The request was stopped"},
    {ERROR_WINHTTP_SECURE_FAILURE, "The secure channel failed"},
    {ERROR_WINHTTP_SECURE_INVALID_CA, "The server's certificate is not trusted"},
    {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, "The server's certificate names another host"},
    {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, "The server's certificate is expired or not yet valid"},
    {ERROR_WINHTTP_SECURE_INVALID_CERT, "The server's certificate is not valid"},
    {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, "The secure channel could not be set up"},
    {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, "The URL's scheme is neither http nor https"},
    {ERROR_WINHTTP_INVALID_URL, "The URL is not valid"},
    {ERROR_WINHTTP_RESEND_REQUEST, "The request must be sent again"},
};

}  // namespace

TWinHttpUrl CrackHttpUrl(const std::string& url) {
    const std::wstring wide = Widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
        const DWORD nError = GetLastError();
        throw THttpError(WinHttpErrorText(nError) + ": " + url, static_cast<int>(nError));
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        throw THttpError(WinHttpErrorText(ERROR_WINHTTP_UNRECOGNIZED_SCHEME) + ": " + url,
                         ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    if (parts.dwHostNameLength == 0)
        throw THttpError(WinHttpErrorText(ERROR_WINHTTP_INVALID_URL) + ": " + url, ERROR_WINHTTP_INVALID_URL);
    TWinHttpUrl cracked;
    cracked.bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    cracked.strHost.assign(parts.lpszHostName, parts.dwHostNameLength);
    cracked.nPort = parts.nPort;
    cracked.strPathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    cracked.strPathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    // A fragment is the client's own business and never goes on the wire.
    cracked.strPathAndQuery = cracked.strPathAndQuery.substr(0, cracked.strPathAndQuery.find(L'#'));
    if (cracked.strPathAndQuery.empty()) cracked.strPathAndQuery = L"/";
    return cracked;
}

std::string WinHttpErrorText(DWORD nError) {
    for (const TErrorName& name : kErrorNames)
        if (name.nError == nError) return std::string(name.szText) + " (" + std::to_string(nError) + ")";
    return WindowsErrorText(nError);
}

TWinHttpHandle OpenWinHttpSession(const std::wstring& proxy) {
    TWinHttpHandle session(WinHttpOpen(
        nullptr, proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (!session) {
        const DWORD nError = GetLastError();
        throw THttpError(WinHttpErrorText(nError), static_cast<int>(nError));
    }
    // Older systems (and Wine) offer only SSL 3 and TLS 1.0 unless asked,
    // which today's servers refuse; TLS 1.3 is taken where the system knows it.
    DWORD nProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &nProtocols, sizeof nProtocols)) {
        nProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &nProtocols, sizeof nProtocols);
    }
    return session;
}

// What a pending operation reports, shared by the owner's thread and
// WinHTTP's; the handle keeps its own reference until it is gone.
struct TWinHttpRequest::TState {
    std::mutex csState;
    std::condition_variable cvDone;
    bool bDone = true;
    DWORD nError = 0;
    DWORD nBytes = 0;
    DWORD nCertificateError = 0;
    DWORD nSecureFailureFlags = 0;
    TCertificateCheck certificateCheck;
    std::vector<char> buffer = std::vector<char>(kReadBufferSize);
    std::string outgoing;

    void Finish(DWORD nResultError, DWORD nResultBytes) {
        {
            std::lock_guard lock(csState);
            bDone = true;
            nError = nResultError;
            nBytes = nResultBytes;
        }
        cvDone.notify_all();
    }
};

namespace {

void CALLBACK OnStatus(HINTERNET hInternet, DWORD_PTR context, DWORD nStatus, LPVOID pInfo, DWORD nInfoSize) {
    auto* holder = reinterpret_cast<std::shared_ptr<TWinHttpRequest::TState>*>(context);
    if (holder == nullptr) return;
    TWinHttpRequest::TState& state = **holder;
    switch (nStatus) {
        case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
            if (state.certificateCheck) {
                const DWORD nError = state.certificateCheck(hInternet);
                std::lock_guard lock(state.csState);
                state.nCertificateError = nError;
            }
            break;
        case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
            if (pInfo != nullptr && nInfoSize >= sizeof(DWORD)) {
                std::lock_guard lock(state.csState);
                state.nSecureFailureFlags = *static_cast<DWORD*>(pInfo);
            }
            break;
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            state.Finish(0, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
            state.Finish(0, nStatus == WINHTTP_CALLBACK_STATUS_READ_COMPLETE ? nInfoSize : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            state.Finish(static_cast<WINHTTP_ASYNC_RESULT*>(pInfo)->dwError, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            // The last word about this handle: nothing touches the state through it any more.
            delete holder;
            break;
        default:
            break;
    }
}

}  // namespace

TWinHttpRequest::TWinHttpRequest(HINTERNET hConnect, const wchar_t* method, const std::wstring& strPath, bool bSecure,
                                 const wchar_t* version)
    : m_State(std::make_shared<TState>()) {
    m_hRequest = WinHttpOpenRequest(hConnect, method, strPath.c_str(), version, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, bSecure ? WINHTTP_FLAG_SECURE : 0);
    if (m_hRequest == nullptr) {
        const DWORD nError = GetLastError();
        throw THttpError(WinHttpErrorText(nError), static_cast<int>(nError));
    }
    auto* holder = new std::shared_ptr<TState>(m_State);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
    if (!WinHttpSetOption(m_hRequest, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context) ||
        WinHttpSetStatusCallback(m_hRequest, &OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK) {
        const DWORD nError = GetLastError();
        WinHttpCloseHandle(m_hRequest);
        delete holder;
        throw THttpError(WinHttpErrorText(nError), static_cast<int>(nError));
    }
}

TWinHttpRequest::~TWinHttpRequest() { WinHttpCloseHandle(m_hRequest); }

void TWinHttpRequest::SetCertificateCheck(TCertificateCheck check) {
    std::lock_guard lock(m_State->csState);
    m_State->certificateCheck = std::move(check);
}

DWORD TWinHttpRequest::Wait(BOOL bStarted, const TCheck& check) {
    TState& state = *m_State;
    std::unique_lock lock(state.csState);
    if (!bStarted) {
        // No completion will come for an operation that did not start.
        state.bDone = true;
        return GetLastError();
    }
    // Asked once per operation even when it completed at once, so that a fast
    // transfer heeds its owner as a stalled one does.
    do {
        lock.unlock();
        const std::chrono::milliseconds tSleep = std::clamp(check(), std::chrono::milliseconds(1), kLongestSleep);
        lock.lock();
        state.cvDone.wait_for(lock, tSleep, [&] { return state.bDone; });
    } while (!state.bDone);
    return state.nError;
}

namespace {

// Marks an operation as pending before it starts: its completion may arrive
// before the starting call returns.
void Arm(TWinHttpRequest::TState& state) {
    std::lock_guard lock(state.csState);
    state.bDone = false;
    state.nError = 0;
    state.nBytes = 0;
}

}  // namespace

DWORD TWinHttpRequest::Send(const std::wstring& strHeaders, DWORD nTotalBodySize, const TCheck& check) {
    // One look before anything goes out: a caller that already wants to stop
    // (or whose time is up) sends nothing.
    check();
    Arm(*m_State);
    const BOOL bStarted = WinHttpSendRequest(
        m_hRequest, strHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : strHeaders.c_str(),
        strHeaders.empty() ? 0 : static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, nTotalBodySize, 0);
    const DWORD nError = Wait(bStarted, check);
    if (nError != 0) return nError;
    std::lock_guard lock(m_State->csState);
    return m_State->nCertificateError;
}

DWORD TWinHttpRequest::Write(const char* pData, DWORD nSize, const TCheck& check) {
    // WinHTTP reads the data until the write completes, which may be after an
    // abandoned request's owner has gone: the handle's state keeps a copy.
    m_State->outgoing.assign(pData, nSize);
    Arm(*m_State);
    return Wait(WinHttpWriteData(m_hRequest, m_State->outgoing.data(), nSize, nullptr), check);
}

DWORD TWinHttpRequest::ReceiveResponse(const TCheck& check) {
    Arm(*m_State);
    return Wait(WinHttpReceiveResponse(m_hRequest, nullptr), check);
}

DWORD TWinHttpRequest::Read(DWORD& nRead, const TCheck& check) {
    Arm(*m_State);
    const DWORD nError =
        Wait(WinHttpReadData(m_hRequest, m_State->buffer.data(), static_cast<DWORD>(m_State->buffer.size()), nullptr),
             check);
    std::lock_guard lock(m_State->csState);
    nRead = nError == 0 ? m_State->nBytes : 0;
    return nError;
}

const char* TWinHttpRequest::Buffer() const { return m_State->buffer.data(); }

DWORD TWinHttpRequest::SecureFailureFlags() const {
    std::lock_guard lock(m_State->csState);
    return m_State->nSecureFailureFlags;
}

bool TWinHttpRequest::QueryText(DWORD nInfoLevel, std::wstring& value) const {
    DWORD nBytes = 0;
    WinHttpQueryHeaders(m_hRequest, nInfoLevel, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &nBytes,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        value.clear();
        return false;
    }
    std::wstring text(nBytes / sizeof(wchar_t) + 1, L'\0');
    nBytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!WinHttpQueryHeaders(m_hRequest, nInfoLevel, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &nBytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        value.clear();
        return false;
    }
    text.resize(nBytes / sizeof(wchar_t));
    value = std::move(text);
    return true;
}
