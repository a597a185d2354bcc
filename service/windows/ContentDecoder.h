#pragma once
#include <zlib.h>

#include <cstddef>
#include <functional>
#include <string>

// Undoes a gzip or deflate Content-Encoding as the body arrives. WinHTTP can
// decode by itself only from Windows 8.1 on, and Wine's does not at all, so
// the client decodes with zlib everywhere and behaves the same on each.
class TContentDecoder {
public:
    using TOutput = std::function<void(const char* pData, size_t nSize)>;

    // `encoding`: the answer's Content-Encoding. Anything but gzip (x-gzip)
    // and deflate passes through unchanged.
    explicit TContentDecoder(const std::string& encoding);
    ~TContentDecoder();
    TContentDecoder(const TContentDecoder&) = delete;
    TContentDecoder& operator=(const TContentDecoder&) = delete;

    // Throws THttpError for data that is not of the announced encoding.
    void Feed(const char* pData, size_t nSize, const TOutput& output);
    // Throws THttpError when a compressed body stopped before its end.
    void Finish();

private:
    enum class TMode { PassThrough, Gzip, Deflate };
    void Start(const unsigned char* pFirst, size_t nSize);

    TMode m_Mode = TMode::PassThrough;
    bool m_bStarted = false;
    bool m_bEnded = false;
    z_stream m_Stream{};
};
