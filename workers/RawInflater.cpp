#include "workers/RawInflater.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// Negative window bits: a raw stream with a 32 KiB window.
constexpr int kRawWindowBits = -15;

[[noreturn]] void ThrowDamaged(const char* message, int rc) {
    throw std::runtime_error("Deflate data is damaged: " +
                             (message != nullptr ? std::string(message) : "zlib error " + std::to_string(rc)));
}

}  // namespace

TRawInflater::TRawInflater(std::string_view packed) : m_Stream(std::make_unique<z_stream_s>()) {
    // A zip entry is below 4 GiB, so zlib's 32-bit counts hold it whole.
    if (packed.size() > std::numeric_limits<uInt>::max()) throw std::runtime_error("Deflate data too large");
    if (inflateInit2(m_Stream.get(), kRawWindowBits) != Z_OK) throw std::runtime_error("zlib: inflateInit2 failed");
    m_Stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    m_Stream->avail_in = static_cast<uInt>(packed.size());
}

TRawInflater::~TRawInflater() { inflateEnd(m_Stream.get()); }

size_t TRawInflater::Read(std::span<char> buffer) {
    if (m_bEnded || buffer.empty()) return 0;
    m_Stream->next_out = reinterpret_cast<Bytef*>(buffer.data());
    m_Stream->avail_out = static_cast<uInt>(std::min<size_t>(buffer.size(), std::numeric_limits<uInt>::max()));
    const uInt before = m_Stream->avail_out;
    // A block header alone yields no output: 0 would read as the end.
    for (;;) {
        const int rc = inflate(m_Stream.get(), Z_SYNC_FLUSH);
        const size_t produced = before - m_Stream->avail_out;
        if (rc == Z_STREAM_END) m_bEnded = true;
        if (rc == Z_STREAM_END || (rc == Z_OK && produced > 0)) return produced;
        // No progress possible with room left for output: the input ran out.
        if (rc == Z_BUF_ERROR) throw std::runtime_error("Deflate data is cut short");
        if (rc != Z_OK) ThrowDamaged(m_Stream->msg, rc);
    }
}

uint64_t TRawInflater::Consumed() const { return m_Stream->total_in; }
