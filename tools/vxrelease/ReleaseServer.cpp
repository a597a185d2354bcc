#include "tools/vxrelease/ReleaseServer.h"

#include <fcntl.h>
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "release/ServedPath.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_csLogLines;

void LogRequest(const httplib::Request& req, const httplib::Response& res) {
    std::string bytes = res.get_header_value("Content-Length");
    std::lock_guard<std::mutex> lock(g_csLogLines);
    std::fprintf(stderr, "%s \"%s %s %s\" %d %s\n", req.remote_addr.c_str(), req.method.c_str(), req.path.c_str(),
                 req.version.c_str(), res.status, bytes.empty() ? "-" : bytes.c_str());
    std::fflush(stderr);
}

// Streams the file from an open descriptor, so a package is never held in
// memory whole and a publish that replaces it meanwhile cannot mix two versions.
void ServeFile(const TServedFile& file, httplib::Response& res) {
    int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        res.status = 404;
        res.set_content("Not found\n", "text/plain");
        return;
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    if (size == 0) {
        ::close(fd);
        res.set_content("", file.strContentType);
        return;
    }
    res.set_content_provider(
        size, file.strContentType,
        [fd](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            char block[1 << 16];
            const ssize_t got = ::pread(fd, block, std::min(length, sizeof block), static_cast<off_t>(offset));
            if (got <= 0) return false;  // the file shrank or failed: the connection is dropped
            return sink.write(block, static_cast<std::size_t>(got));
        },
        [fd](bool) { ::close(fd); });
}

// Stops the server on SIGINT or SIGTERM. The signals are blocked in every
// thread and taken here with sigwait, so no handler runs inside the server.
void WaitForStopSignal(httplib::Server& server, const sigset_t& signals) {
    int signal = 0;
    sigwait(&signals, &signal);
    server.stop();
}

}  // namespace

int RunReleaseServer(const TServeOptions& options) {
    std::error_code ec;
    const fs::path treeReal = fs::canonical(options.pathTree, ec);
    if (ec || !fs::is_directory(treeReal)) {
        std::cerr << "vxrelease serve: \"" << options.pathTree.string() << "\" is not a folder\n";
        return 1;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    httplib::Server server;
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(15);
    server.set_logger(LogRequest);
    server.Get(R"(/.*)", [&treeReal](const httplib::Request& req, httplib::Response& res) {
        std::optional<TServedFile> file = ResolveServedPath(treeReal, req.path);
        if (!file) {
            res.status = 404;
            res.set_content("Not found\n", "text/plain");
            return;
        }
        ServeFile(*file, res);
    });

    int port = options.nPort;
    if (port == 0) {
        port = server.bind_to_any_port(options.strBind);
    } else if (!server.bind_to_port(options.strBind, port)) {
        port = -1;
    }
    if (port < 0) {
        std::cerr << "vxrelease serve: cannot listen on " << options.strBind << ":" << options.nPort << "\n";
        return 1;
    }
    const bool ipv6 = options.strBind.find(':') != std::string::npos;
    std::cout << "Listening on http://" << (ipv6 ? "[" + options.strBind + "]" : options.strBind) << ":" << port
              << std::endl;

    std::thread stopper(WaitForStopSignal, std::ref(server), std::cref(signals));
    const bool ok = server.listen_after_bind();
    if (!ok) {
        // listen ended on its own: wake the stopper so that it can be joined.
        pthread_kill(stopper.native_handle(), SIGTERM);
    }
    stopper.join();
    return ok ? 0 : 1;
}
