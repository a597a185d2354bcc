#pragma once
#include <map>
#include <memory>
#include <string>

// A small libcurl client for tests that check what a server sends: status,
// headers and body exactly as received (no content decoding unless asked).
struct HttpAnswer {
    long nStatus = 0;
    std::map<std::string, std::string> headers;  // names in lower case; the last value wins
    std::string strBody;
    bool bReusedConnection = false;  // the request went over a connection kept alive from before
    std::string Header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? "" : it->second;
    }
};

struct HttpRequestOptions {
    bool bHead = false;
    bool bPathAsIs = false;         // send ".." segments as written instead of resolving them
    std::string strAcceptEncoding;  // e.g. "gzip, deflate"; the body is then NOT decoded
    std::string strCaFile;          // https: trust only the certificates in this PEM file
};

// One connection, kept alive between requests like a real client's.
class HttpSession {
public:
    HttpSession();
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Throws std::runtime_error when no answer arrives (connection refused, time-out).
    HttpAnswer Get(const std::string& url, const HttpRequestOptions& options = {});

private:
    void* m_pCurl;
};

// A fresh session for one request.
HttpAnswer HttpGet(const std::string& url, const HttpRequestOptions& options = {});
