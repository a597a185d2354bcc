#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

struct z_stream_s;

// Inflates a raw Deflate stream (no zlib header, as a zip holds it) into the
// caller's buffers, block by block.
class TRawInflater {
public:
    explicit TRawInflater(std::string_view packed);
    ~TRawInflater();
    TRawInflater(const TRawInflater&) = delete;
    TRawInflater& operator=(const TRawInflater&) = delete;

    // The next bytes; 0 once the stream has ended. Throws std::runtime_error
    // for a damaged stream or one cut short.
    size_t Read(std::span<char> buffer);
    // How many packed bytes the stream took, its end included.
    uint64_t Consumed() const;

private:
    std::unique_ptr<z_stream_s> m_Stream;
    bool m_bEnded = false;
};
