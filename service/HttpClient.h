#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <limits>
#include <string>
#include <vector>

#include "service/ProxySettings.h"

// What came back from one GET.
struct THttpResponse {
    long nStatus = 0;
    std::string strStatusText;    // reason phrase of the status line, e.g. "Not Found"
    int64_t nContentLength = -1;  // the Content-Length header; -1 when the answer had none
    uint64_t nReceived = 0;       // body bytes handed to the sink (after content decoding)
};

// A request that produced no HTTP answer: connection, time-out, TLS or proxy
// failure, or a failure raised by the caller's sink. Carries the system's own
// error number: a CURLcode with curl, a WinHTTP or Win32 error code on Windows
// (both are what the version service reports as its "last error").
class THttpError : public std::runtime_error {
public:
    THttpError(const std::string& message, int nCode, long nOsError = 0);
    int Code() const { return m_nCode; }
    // errno of the failed connect or socket call; 0 when none was recorded
    // (always on Windows, where WinHTTP does not expose it).
    long OsError() const { return m_nOsError; }
    // A failure of the secure channel: handshake, certificate or peer check.
    bool IsTlsFailure() const;
    // The owner's abort check ended the transfer: a stop, not a network failure.
    bool IsAborted() const;

private:
    int m_nCode;
    long m_nOsError;
};

// Receives the body of an answer as it arrives.
class IHttpBodySink {
public:
    virtual ~IHttpBodySink() = default;
    // Called once the headers are in, with the announced Content-Length (capped;
    // never called when the answer announces none). A hint: the body may differ.
    virtual void Reserve(uint64_t nBytes) { (void)nBytes; }
    virtual void Write(const char* pData, size_t nSize) = 0;
};

// An HTTP/1.1 client that keeps its connection for the object's life, so that
// consecutive requests to one server reuse it (libcurl on Linux, WinHTTP on
// Windows).
//
// Thread rule: one thread at a time uses an object (the owner may hand it to
// another thread, never share it). Set-up calls apply to the following requests.
//
// What goes on the wire: Host, plus only what the owner configured (extra
// headers, Accept-Encoding). No User-Agent and no "Accept: */*"; redirections
// are answers, never followed. (WinHTTP adds "Connection: Keep-Alive" of its
// own.) A stalled server ends in a THttpError, never a hang: the connect
// time-out and the low-speed limit below always apply, and an owner that must
// stop sooner sets an abort check.
// Certificates: the system's trust store, plus those of the PEM file named by
// ORLADESK_CA_BUNDLE (read when the client is made; an unreadable file makes
// every https request fail). On Windows the server's chain is checked against
// that file once the secure channel is up and before anything is read from
// the server; the request line and headers have gone out by then.
class THttpClient {
public:
    using TProgress = std::function<void(uint64_t nReceived)>;
    using TAbortCheck = std::function<bool()>;

    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{15000};
    // An average below this over the low-speed time ends a transfer: a server
    // that sends a few bytes now and then must not hold a try for days. A
    // 256 kbit/s link shared by four downloads still gives each 8 KB/s.
    static constexpr long kDefaultLowSpeedBytes = 1024;
    static constexpr std::chrono::seconds kDefaultLowSpeedTime{30};

    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Empty host: no proxy at all, environment variables included. "socks5"
    // scheme: SOCKS 5 with the host name resolved by the proxy (not on
    // Windows: WinHTTP speaks to HTTP proxies only, so there every request
    // through one fails with a THttpError that says so); otherwise an HTTP
    // proxy. A user name or password is offered with any method the proxy asks for.
    void SetProxy(const TProxySettings& proxy);
    const TProxySettings& GetProxySettings() const { return m_Proxy; }

    // The Accept-Encoding header (e.g. "gzip, deflate"); gzip and deflate bodies
    // are decoded before they reach the sink.
    // Empty: no header, no decoding.
    void SetAcceptEncoding(const std::string& encodings);
    // Extra request headers, each "Name: value", replacing earlier ones.
    void SetHeaders(const std::vector<std::string>& headers);
    void SetConnectTimeout(std::chrono::milliseconds timeout);
    // A transfer slower than nBytesPerSecond for tTime fails with a time-out.
    void SetLowSpeedLimit(long nBytesPerSecond, std::chrono::seconds tTime);
    // The whole of each later transfer, connection included, ends with an
    // error once this has passed, however the bytes trickle in; zero: none.
    void SetTransferDeadline(std::chrono::milliseconds tDeadline);
    // Called after every received block with the body bytes so far; an empty
    // function detaches it.
    void SetProgressCallback(TProgress progress);
    // Asked during every request, also while no data flows (about once a
    // second then, so a stalled server is left within a second or so); true
    // ends the request with a THttpError whose IsAborted is true. It runs on
    // the requesting thread: a flag set by another thread must be atomic. An
    // empty function detaches it.
    void SetAbortCheck(TAbortCheck shouldAbort);

    // GET url; the body goes to sink. Throws THttpError when no answer came.
    THttpResponse Get(const std::string& url, IHttpBodySink& sink);
    // The same into a string, which is emptied first: what the engine's
    // GetURLAsString needs (detach the progress callback first).
    // A body longer than `nMaxBytes` ends the transfer at once and throws.
    THttpResponse Get(const std::string& url, std::string& body,
                      uint64_t nMaxBytes = std::numeric_limits<uint64_t>::max());
    THttpResponse Get(const std::string& url, std::vector<uint8_t>& body);

private:
    // The system's handles and what only they need.
    struct TImpl;
    std::unique_ptr<TImpl> m_Impl;
    TProxySettings m_Proxy;
    TProgress m_Progress;
    TAbortCheck m_ShouldAbort;
};
