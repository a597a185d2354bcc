#include "support/HttpFetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <stdexcept>

namespace {

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
    std::string line(data, size * count);
    auto* headers = static_cast<std::map<std::string, std::string>*>(user);
    if (line.rfind("HTTP/", 0) == 0) headers->clear();  // a new response (after 100 Continue)
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
            value.pop_back();
        (*headers)[name] = value;
    }
    return size * count;
}

}  // namespace

HttpSession::HttpSession() : m_pCurl(curl_easy_init()) {
    if (!m_pCurl) throw std::runtime_error("curl_easy_init failed");
}

HttpSession::~HttpSession() { curl_easy_cleanup(static_cast<CURL*>(m_pCurl)); }

HttpAnswer HttpSession::Get(const std::string& url, const HttpRequestOptions& options) {
    CURL* curl = static_cast<CURL*>(m_pCurl);
    HttpAnswer answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, options.bHead ? 1L : 0L);
    if (!options.bHead) curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, options.bPathAsIs ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_CAINFO, options.strCaFile.empty() ? nullptr : options.strCaFile.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.strBody);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer.headers);
    // Without content decoding the test sees the bytes on the wire.
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    struct curl_slist* headers = nullptr;
    if (!options.strAcceptEncoding.empty())
        headers = curl_slist_append(headers, ("Accept-Encoding: " + options.strAcceptEncoding).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    if (rc != CURLE_OK) throw std::runtime_error(std::string("HTTP request failed: ") + curl_easy_strerror(rc));
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.nStatus);
    long newConnections = 0;
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &newConnections);
    answer.bReusedConnection = newConnections == 0;
    return answer;
}

HttpAnswer HttpGet(const std::string& url, const HttpRequestOptions& options) {
    HttpSession session;
    return session.Get(url, options);
}
