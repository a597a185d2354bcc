#include "service/windows/ContentDecoder.h"

#include <algorithm>
#include <cctype>

#include "service/HttpClient.h"

namespace {

// WinHTTP's code for an answer it cannot read; the body is part of the answer.
constexpr int kInvalidResponse = 12152;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    return text;
}

[[noreturn]] void ThrowBadEncoding(const char* szWhat) {
    throw THttpError(std::string("The body's content encoding is broken: ") + szWhat, kInvalidResponse);
}

}  // namespace

TContentDecoder::TContentDecoder(const std::string& encoding) {
    const std::string name = Lower(encoding);
    if (name == "gzip" || name == "x-gzip") m_Mode = TMode::Gzip;
    if (name == "deflate") m_Mode = TMode::Deflate;
}

TContentDecoder::~TContentDecoder() {
    if (m_bStarted) inflateEnd(&m_Stream);
}

// "deflate" is meant to be a zlib stream, but some servers send the raw
// deflate data; the zlib header tells them apart, as browsers and curl do.
void TContentDecoder::Start(const unsigned char* pFirst, size_t nSize) {
    int nWindowBits = 15 + 16;
    if (m_Mode == TMode::Deflate) {
        const bool bZlibHeader =
            nSize >= 2 && (pFirst[0] & 0x0F) == Z_DEFLATED && ((pFirst[0] << 8) | pFirst[1]) % 31 == 0;
        nWindowBits = bZlibHeader ? 15 : -15;
    }
    if (inflateInit2(&m_Stream, nWindowBits) != Z_OK) ThrowBadEncoding("zlib could not be set up");
    m_bStarted = true;
}

void TContentDecoder::Feed(const char* pData, size_t nSize, const TOutput& output) {
    if (m_Mode == TMode::PassThrough) {
        if (nSize > 0) output(pData, nSize);
        return;
    }
    auto* pInput = reinterpret_cast<const unsigned char*>(pData);
    if (!m_bStarted && nSize > 0) Start(pInput, nSize);
    unsigned char out[16384];
    while (nSize > 0) {
        if (m_bEnded) {
            // gzip allows several members one after the other; anything else after the end is garbage.
            if (m_Mode != TMode::Gzip || inflateReset(&m_Stream) != Z_OK) ThrowBadEncoding("data after the end");
            m_bEnded = false;
        }
        const uInt nPiece = static_cast<uInt>(std::min<size_t>(nSize, 1u << 30));
        m_Stream.next_in = const_cast<unsigned char*>(pInput);
        m_Stream.avail_in = nPiece;
        int rc = Z_OK;
        do {
            m_Stream.next_out = out;
            m_Stream.avail_out = sizeof out;
            rc = inflate(&m_Stream, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) ThrowBadEncoding("not valid compressed data");
            const size_t nOut = sizeof out - m_Stream.avail_out;
            if (nOut > 0) output(reinterpret_cast<const char*>(out), nOut);
        } while (rc == Z_OK && (m_Stream.avail_in > 0 || m_Stream.avail_out == 0));
        if (rc == Z_STREAM_END) m_bEnded = true;
        const size_t nUsed = nPiece - m_Stream.avail_in;
        if (nUsed == 0 && rc == Z_BUF_ERROR) ThrowBadEncoding("zlib made no progress");
        pInput += nUsed;
        nSize -= nUsed;
    }
}

void TContentDecoder::Finish() {
    if (m_Mode != TMode::PassThrough && m_bStarted && !m_bEnded) ThrowBadEncoding("the body ended early");
}
