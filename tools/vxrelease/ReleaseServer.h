#pragma once
#include <filesystem>
#include <string>

// `vxrelease serve`: serves a published tree over HTTP/1.1 for demos and tests,
// with keep-alive and exact Content-Length, one log line per request on stderr.
// Only the files ResolveServedPath allows are served; everything else is 404.
struct TServeOptions {
    std::filesystem::path pathTree;
    std::string strBind = "127.0.0.1";
    int nPort = 8080;  // 0: any free port; the address actually bound is printed
};

// Binds, prints "Listening on http://HOST:PORT" on stdout, and serves until
// SIGINT or SIGTERM. Returns the process exit code (0 after a signal, 1 when the
// tree is missing or the address cannot be bound).
int RunReleaseServer(const TServeOptions& options);
