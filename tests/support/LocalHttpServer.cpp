#include "support/LocalHttpServer.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// httplib adds the connection's addresses as if they were headers; they were
// never on the wire.
bool IsPseudoHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

int SocketPort(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

}  // namespace

std::string TRecordedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : lstHeaders)
        if (SameNoCase(key, name)) return value;
    return {};
}

bool TRecordedRequest::HasHeader(const std::string& name) const {
    return std::any_of(lstHeaders.begin(), lstHeaders.end(),
                       [&](const auto& header) { return SameNoCase(header.first, name); });
}

LocalHttpServer::LocalHttpServer() : m_pServer(std::make_unique<httplib::Server>()) {
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    };
    m_pServer->Get(".*", handler);
    m_pServer->Post(".*", handler);
    m_pServer->Put(".*", handler);
    m_pServer->Delete(".*", handler);
    m_pServer->Patch(".*", handler);
    m_pServer->Options(".*", handler);
    m_pServer->set_keep_alive_max_count(100);
    // A client that never finishes its request (or speaks another protocol)
    // is dropped quickly instead of after httplib's five seconds.
    m_pServer->set_read_timeout(2, 0);
    m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
    if (m_nPort <= 0) throw std::runtime_error("LocalHttpServer: cannot bind 127.0.0.1");
    // The socket already listens: connections made before the thread runs wait
    // in the backlog.
    m_Thread = std::thread([this] { m_pServer->listen_after_bind(); });
    // stop() is ignored until the accept loop runs; wait for it so that a
    // server stopped at once still stops.
    for (int i = 0; i < 5000 && !m_pServer->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LocalHttpServer::~LocalHttpServer() { Stop(); }

void LocalHttpServer::Stop() {
    {
        std::lock_guard lock(m_csState);
        if (m_bStopping) return;
        m_bStopping = true;
    }
    m_cvStop.notify_all();
    m_pServer->stop();
    // Workers wait out the keep-alive time on idle connections of clients
    // still alive; ending those connections makes the stop immediate.
    ForEachConnection([](int fd) { shutdown(fd, SHUT_RDWR); });
    if (m_Thread.joinable()) m_Thread.join();
    std::lock_guard lock(m_csState);
    if (m_bFailOnUnexpected && !m_lstUnexpected.empty()) {
        std::string paths;
        for (const auto& path : m_lstUnexpected) paths += " " + path;
        ADD_FAILURE() << "LocalHttpServer: requests for paths without a route:" << paths;
    }
}

std::string LocalHttpServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }

void LocalHttpServer::Route(const std::string& path, TReply reply) {
    Route(path, [reply](const TRecordedRequest&, int) { return reply; });
}

void LocalHttpServer::Route(const std::string& path, THandler handler) {
    std::lock_guard lock(m_csState);
    m_Routes[path] = std::move(handler);
}

std::vector<TRecordedRequest> LocalHttpServer::Requests() const {
    std::lock_guard lock(m_csState);
    return m_lstRequests;
}

int LocalHttpServer::HitCount(const std::string& path) const {
    std::lock_guard lock(m_csState);
    auto it = m_Hits.find(path);
    return it == m_Hits.end() ? 0 : it->second;
}

std::vector<std::string> LocalHttpServer::UnexpectedPaths() const {
    std::lock_guard lock(m_csState);
    return m_lstUnexpected;
}

void LocalHttpServer::SetFailOnUnexpected(bool bFail) {
    std::lock_guard lock(m_csState);
    m_bFailOnUnexpected = bFail;
}

bool LocalHttpServer::Stopping() {
    std::lock_guard lock(m_csState);
    return m_bStopping;
}

void LocalHttpServer::Stall(std::chrono::milliseconds tStall) {
    std::unique_lock lock(m_csState);
    m_cvStop.wait_for(lock, tStall, [this] { return m_bStopping; });
}

// httplib does not hand sockets to handlers: find them among our own
// descriptors by their local port (and the client's port).
void LocalHttpServer::ForEachConnection(const std::function<void(int fd)>& action, int nRemotePort) {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(dir)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t nLocal = sizeof(local), nPeer = sizeof(peer);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &nLocal) != 0) continue;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &nPeer) != 0) continue;
        if (SocketPort(local) == m_nPort && (nRemotePort == 0 || SocketPort(peer) == nRemotePort))
            action(fd);
    }
    closedir(dir);
}

// A close with a zero linger time sends a reset.
void LocalHttpServer::ResetConnection(int nRemotePort) {
    ForEachConnection(
        [](int fd) {
            linger lingerNone{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &lingerNone, sizeof(lingerNone));
        },
        nRemotePort);
}

void LocalHttpServer::Handle(const httplib::Request& request, httplib::Response& response) {
    TRecordedRequest recorded;
    recorded.strMethod = request.method;
    recorded.strPath = request.path;
    if (auto pos = request.target.find('?'); pos != std::string::npos)
        recorded.strQuery = request.target.substr(pos + 1);
    for (const auto& [name, value] : request.headers)
        if (!IsPseudoHeader(name)) recorded.lstHeaders.emplace_back(name, value);
    recorded.strBody = request.body;
    recorded.nRemotePort = request.remote_port;

    THandler handler;
    int nHit = 0;
    {
        std::lock_guard lock(m_csState);
        m_lstRequests.push_back(recorded);
        nHit = m_Hits[recorded.strPath]++;
        auto route = m_Routes.find(recorded.strPath);
        if (route == m_Routes.end()) {
            m_lstUnexpected.push_back(recorded.strMethod + " " + recorded.strPath);
        } else {
            handler = route->second;
        }
    }
    if (!handler) {
        response.status = 404;
        response.set_content("no route", "text/plain");
        return;
    }

    const TReply reply = handler(recorded, nHit);
    response.status = reply.nStatus;
    for (const auto& [name, value] : reply.lstHeaders) response.set_header(name, value);
    auto body = std::make_shared<const std::string>(reply.strBody);
    const size_t nHalf = body->size() / 2;

    switch (reply.Fault) {
        case TReply::TFault::None:
            response.set_content(*body, reply.strContentType);
            break;
        case TReply::TFault::StallBeforeHeaders:
            Stall(reply.tStall);
            response.set_content(*body, reply.strContentType);
            break;
        case TReply::TFault::ShortBody: {
            const size_t nSent = body->size() - std::min(reply.nShortBy, body->size());
            response.set_content_provider(
                body->size(), reply.strContentType,
                [body, nSent](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0 && nSent > 0) sink.write(body->data(), nSent);
                    return false;  // closes the connection short of the announced length
                });
            break;
        }
        case TReply::TFault::NoContentLength:
            // Without a length only the close ends the body; httplib keeps the
            // connection open after done(), but closes it when the provider says false.
            response.set_header("Connection", "close");
            response.set_content_provider(
                reply.strContentType, [body](size_t offset, httplib::DataSink& sink) {
                    if (offset < body->size()) sink.write(body->data() + offset, body->size() - offset);
                    return false;
                });
            break;
        case TReply::TFault::StallMidBody: {
            const auto tStall = reply.tStall;
            response.set_content_provider(
                body->size(), reply.strContentType,
                [this, body, nHalf, tStall](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0 && nHalf > 0) return sink.write(body->data(), nHalf);
                    Stall(tStall);
                    return sink.write(body->data() + offset, body->size() - offset);
                });
            break;
        }
        case TReply::TFault::EndlessBody:
            response.set_chunked_content_provider(reply.strContentType, [this, body](size_t, httplib::DataSink& sink) {
                return !Stopping() && !body->empty() && sink.write(body->data(), body->size());
            });
            break;
        case TReply::TFault::Trickle: {
            const auto tStall = reply.tStall;
            response.set_chunked_content_provider(
                reply.strContentType, [this, body, tStall](size_t offset, httplib::DataSink& sink) {
                    Stall(tStall);
                    return !Stopping() && !body->empty() && sink.write(body->data() + offset % body->size(), 1);
                });
            break;
        }
        case TReply::TFault::ResetMidBody:
            ResetConnection(request.remote_port);
            response.set_content_provider(
                body->size(), reply.strContentType,
                [body, nHalf](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0 && nHalf > 0) sink.write(body->data(), nHalf);
                    return false;
                });
            break;
    }
}
