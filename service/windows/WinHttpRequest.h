#pragma once
#include <windows.h>  // system header: WinHTTP's types, for the Windows HTTP code only
// winhttp.h needs the types of windows.h first.
#include <winhttp.h>  // system header: the Windows HTTP stack these helpers wrap

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// An absolute http or https URL in WinHTTP's parts.
struct TWinHttpUrl {
    bool bSecure = false;
    std::wstring strHost;
    INTERNET_PORT nPort = 0;
    std::wstring strPathAndQuery;
};

// Throws THttpError (ERROR_WINHTTP_UNRECOGNIZED_SCHEME or _INVALID_URL) for
// anything but an absolute http or https URL.
TWinHttpUrl CrackHttpUrl(const std::string& url);

// A readable text for a WinHTTP or Win32 error code, with the code.
std::string WinHttpErrorText(DWORD nError);

struct TWinHttpHandleClose {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using TWinHttpHandle = std::unique_ptr<void, TWinHttpHandleClose>;

// An asynchronous session, direct (empty `proxy`) or through the HTTP proxy
// "host:port", whatever the system's own settings say. No agent name: WinHTTP
// then sends no User-Agent. Throws THttpError.
TWinHttpHandle OpenWinHttpSession(const std::wstring& proxy);

// One request in WinHTTP's asynchronous mode, waited for on the calling thread.
//
// Asynchronous because a synchronous WinHTTP call can be ended from outside
// only by closing its handle from another thread, which Microsoft warns
// against; here the owner's thread asks its check (abort, deadline, low speed)
// at least once a second while an operation is pending, and ending the request
// is closing the handle on the owner's thread. What a pending operation may
// still touch (the receive buffer, the completion record) is owned by the
// handle and freed when WinHTTP says the handle is gone, so the owner need not
// wait for a stalled operation to notice: under Wine it notices only when the
// socket gives up.
class TWinHttpRequest {
public:
    // Asked before each wait and then at least once a second: throws to end
    // the request, else returns how long it may sleep at most.
    using TCheck = std::function<std::chrono::milliseconds()>;
    // Run on WinHTTP's thread once the secure channel is up and before the
    // request is sent; a non-zero WinHTTP error code refuses the server.
    using TCertificateCheck = std::function<DWORD(HINTERNET hRequest)>;

    // `version`: the HTTP version of the request line; null: WinHTTP's (1.1).
    TWinHttpRequest(HINTERNET hConnect, const wchar_t* method, const std::wstring& strPath, bool bSecure,
                    const wchar_t* version = nullptr);
    ~TWinHttpRequest();
    TWinHttpRequest(const TWinHttpRequest&) = delete;
    TWinHttpRequest& operator=(const TWinHttpRequest&) = delete;

    HINTERNET Handle() const { return m_hRequest; }
    void SetCertificateCheck(TCertificateCheck check);

    // Each starts one operation and waits for its end; they return 0 or the
    // WinHTTP error code of the failure. A failed certificate check is
    // reported by Send.
    DWORD Send(const std::wstring& strHeaders, DWORD nTotalBodySize, const TCheck& check);
    DWORD Write(const char* pData, DWORD nSize, const TCheck& check);
    DWORD ReceiveResponse(const TCheck& check);
    // Reads the next piece of the body into Buffer(); nRead 0: the body ended.
    DWORD Read(DWORD& nRead, const TCheck& check);
    const char* Buffer() const;

    // The security failure flags WinHTTP reported (WINHTTP_CALLBACK_STATUS_FLAG_*), 0 if none.
    DWORD SecureFailureFlags() const;

    // A header of the answer as text; false when the answer has none.
    bool QueryText(DWORD nInfoLevel, std::wstring& value) const;

    // What a pending operation reports; opaque to the owner.
    struct TState;

private:
    DWORD Wait(BOOL bStarted, const TCheck& check);

    std::shared_ptr<TState> m_State;
    HINTERNET m_hRequest = nullptr;
};
