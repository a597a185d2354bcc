#include "workers/IoBuffer.h"

#include <memory>

std::span<char> ThreadIoBuffer() {
    constexpr size_t kSize = 256 * 1024;
    thread_local const std::unique_ptr<char[]> s_Buffer = std::make_unique_for_overwrite<char[]>(kSize);
    return {s_Buffer.get(), kSize};
}
