#include "release/FileSha256.h"

#include "platform/Sha256Digest.h"
#include "release/AtomicFile.h"

std::string FileSha256Hex(const std::filesystem::path& path) {
    TSha256Digest digest;
    ReadFileInBlocks(path, [&](std::string_view block) { digest.Update(block.data(), block.size()); });
    return digest.HexLower();
}
