#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}

// An HTTP/1.1 server on 127.0.0.1 (a free port chosen by the system) that runs
// on its own threads inside the test process, for tests of anything that talks
// HTTP: the version query, the download workers, the engine's own requests.
//
//   LocalHttpServer server;                        // listening once constructed
//   server.Route("/files/abc", {200, "zip bytes"});
//   server.Route("/version.txt", [](const TRecordedRequest& r, int nHit) {
//       return nHit == 0 ? TReply{500} : TReply{200, "1.82"};
//   });
//   ... client.Get(server.Url("/files/abc"), body) ...
//   EXPECT_EQ(server.HitCount("/files/abc"), 1);
//
// Every request is recorded (method, path, headers, body, client port), in
// arrival order. Requests are matched by exact path (the query string is not
// part of it), whatever the method. A request for a path without a route gets
// a 404 and counts as unexpected: the test fails when the server stops, unless
// SetFailOnUnexpected(false) was called.
//
// Faults on demand, one per reply (TReply::Fault):
// - status codes and headers: set nStatus / lstHeaders;
// - ShortBody: Content-Length announces the whole body, nShortBy bytes fewer
//   are sent, then the connection closes;
// - NoContentLength: the body is sent without Content-Length (and without
//   chunking), delimited by closing the connection;
// - StallBeforeHeaders: nothing is sent for tStall, then the reply as usual;
// - StallMidBody: headers and the first half of the body, then nothing for
//   tStall, then the rest; set tStall longer than the client's low-speed limit;
// - ResetMidBody: headers and the first half of the body, then the connection
//   is reset (RST, not an orderly close).
// Stalls end early when the server stops, and Stop ends the connections that
// clients keep alive, so a teardown never waits.
//
// Note: httplib gzip-compresses text/* bodies on its own when the client
// accepts gzip; give a reply another content type (the default
// application/octet-stream) when the exact bytes on the wire matter.
//
// Thread rule: Route, Requests and the other calls may be made from any thread
// while the server runs; handlers run on the server's worker threads.
struct TRecordedRequest {
    std::string strMethod;
    std::string strPath;
    std::string strQuery;  // without "?"
    // Every header the client sent, names as received, in the server's order
    // (sorted by name without regard to case; duplicates kept).
    std::vector<std::pair<std::string, std::string>> lstHeaders = {};
    std::string strBody;
    int nRemotePort = 0;  // equal ports: the same connection was reused

    // The first header of that name (any case), "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

struct TReply {
    // EndlessBody: no length, and strBody sent again and again until the
    // client goes. Trickle: no length, one byte of strBody every tStall.
    enum class TFault {
        None,
        ShortBody,
        NoContentLength,
        StallBeforeHeaders,
        StallMidBody,
        ResetMidBody,
        EndlessBody,
        Trickle
    };

    int nStatus = 200;
    std::string strBody;
    std::string strContentType = "application/octet-stream";
    std::vector<std::pair<std::string, std::string>> lstHeaders = {};
    TFault Fault = TFault::None;
    size_t nShortBy = 1;
    std::chrono::milliseconds tStall{0};
};

class LocalHttpServer {
public:
    // nHit counts earlier requests to the same path (0 for the first).
    using THandler = std::function<TReply(const TRecordedRequest& request, int nHit)>;

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_nPort; }
    // "http://127.0.0.1:<port>", no trailing slash.
    std::string BaseUrl() const;
    std::string Url(const std::string& path) const { return BaseUrl() + path; }

    void Route(const std::string& path, TReply reply);
    void Route(const std::string& path, THandler handler);

    std::vector<TRecordedRequest> Requests() const;
    int HitCount(const std::string& path) const;
    std::vector<std::string> UnexpectedPaths() const;
    void SetFailOnUnexpected(bool bFail);

    // Stops listening, ends stalls and joins the server thread. Idempotent;
    // the destructor calls it.
    void Stop();

private:
    void Handle(const httplib::Request& request, httplib::Response& response);
    bool Stopping();
    void Stall(std::chrono::milliseconds tStall);
    void ResetConnection(int nRemotePort);
    // nRemotePort 0: every connection accepted by this server.
    void ForEachConnection(const std::function<void(int fd)>& action, int nRemotePort = 0);

    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_Thread;
    int m_nPort = 0;

    mutable std::mutex m_csState;
    std::condition_variable m_cvStop;
    bool m_bStopping = false;
    bool m_bFailOnUnexpected = true;
    std::map<std::string, THandler> m_Routes;
    std::map<std::string, int> m_Hits;
    std::vector<TRecordedRequest> m_lstRequests;
    std::vector<std::string> m_lstUnexpected;
};
