#include "service/HttpClient.h"

#include <algorithm>
#include <stdexcept>

#include "service/HttpClientParts.h"

namespace {

class TStringSink : public IHttpBodySink {
public:
    TStringSink(std::string& body, uint64_t nMaxBytes) : m_Body(body), m_nMaxBytes(nMaxBytes) {}
    void Reserve(uint64_t nBytes) override { m_Body.reserve(static_cast<size_t>(std::min(nBytes, m_nMaxBytes))); }
    void Write(const char* pData, size_t nSize) override {
        if (nSize > m_nMaxBytes - m_Body.size())
            throw std::length_error("Body larger than " + std::to_string(m_nMaxBytes) + " bytes");
        m_Body.append(pData, nSize);
    }

private:
    std::string& m_Body;
    const uint64_t m_nMaxBytes;
};

class TBytesSink : public IHttpBodySink {
public:
    explicit TBytesSink(std::vector<uint8_t>& body) : m_Body(body) {}
    void Reserve(uint64_t nBytes) override { m_Body.reserve(static_cast<size_t>(nBytes)); }
    void Write(const char* pData, size_t nSize) override {
        m_Body.insert(m_Body.end(), reinterpret_cast<const uint8_t*>(pData),
                      reinterpret_cast<const uint8_t*>(pData) + nSize);
    }

private:
    std::vector<uint8_t>& m_Body;
};

}  // namespace

std::string_view TrimHeaderText(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

int64_t ParseContentLength(std::string_view text) {
    const std::string_view value = TrimHeaderText(text);
    // 18 digits always fit in an int64_t; a longer value is no length we could use.
    if (value.empty() || value.size() > 18) return -1;
    int64_t length = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

THttpError::THttpError(const std::string& message, int nCode, long nOsError)
    : std::runtime_error(message), m_nCode(nCode), m_nOsError(nOsError) {}

void THttpClient::SetProgressCallback(TProgress progress) { m_Progress = std::move(progress); }

void THttpClient::SetAbortCheck(TAbortCheck shouldAbort) { m_ShouldAbort = std::move(shouldAbort); }

THttpResponse THttpClient::Get(const std::string& url, std::string& body, uint64_t nMaxBytes) {
    body.clear();
    TStringSink sink(body, nMaxBytes);
    return Get(url, sink);
}

THttpResponse THttpClient::Get(const std::string& url, std::vector<uint8_t>& body) {
    body.clear();
    TBytesSink sink(body);
    return Get(url, sink);
}
