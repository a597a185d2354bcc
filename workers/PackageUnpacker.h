#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/PartFile.h"

// Unpacking was stopped from outside (the worker is ending); nothing of the
// file was left behind.
class EUnpackStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The suffix of a file being unpacked: an update finds and removes what a
// killed run left by it.
inline constexpr std::string_view kPartFileSuffix = ".vxpart";

struct TUnpackedFile {
    std::filesystem::path path;
    // 32 upper-case hexadecimal digits, computed while the file was written.
    std::string strMd5;
    // 64 lower-case hexadecimal digits, likewise; only when asked for.
    std::string strSha256;
    // False when the check refused the file: it was deleted and `path` (an
    // installed file, say) was left as it was.
    bool bPlaced = true;
};

struct TUnpackOptions {
    // The file's name as the release lists it. The file is written under this
    // name, not under the package entry's (which is only compared, and a
    // difference logged): a package must not choose where its file lands.
    // Empty: the entry's own name.
    std::string strFileName;
    // Asked about the whole file while it still stands under its temporary
    // name (`partPath`), before it replaces anything: false refuses it.
    std::function<bool(const TUnpackedFile& file, const std::filesystem::path& partPath)> fnAccept;
    // Asked before each block: true throws EUnpackStopped, so that a cancel
    // need not wait for a large file to be unpacked whole.
    std::function<bool()> fnStopped;
    // Whether to take the SHA-256 of the file too (a signed release).
    bool bSha256 = false;
};

// The largest file a package may unpack to. The release tool writes no larger
// entry (and no ZIP64 records), so a package that declares more is damaged or
// hostile and is refused before anything is written.
inline constexpr uint64_t kMaxUnpackedSize = 0xFFFFFFFFull;

enum class TUnpackDurability {
    eFlushEachFile,  // each file is on disk before it takes its final name
    eCallerFlushes,  // the caller flushes the whole folder before relying on it
};

// Unpacks the first entry of the package held in `package` into `target`,
// creating the sub-folders its name holds; other entries are ignored. Returns
// the path of the unpacked file and the MD5 of its content. The file is
// written under a temporary name beside its final one and renamed over it only
// when complete (and, with eFlushEachFile, on disk), so in an update each
// installed file is either the old one or the new one. Entry names that
// would leave `target` (absolute, "..") or that name no file (".") are refused.
// So is an entry that declares more than `nMaxSize` bytes, and one that
// unpacks to more than its declared size, to more than a thousandfold of the
// package when it declares none, or to more than `nMaxSize` (a decompression
// bomb), one that would leave its disk less than 16 MiB free, and LZMA data
// that asks for a dictionary beyond 64 MiB. Throws
// EFCreateError when the output file cannot be created or put in place,
// std::runtime_error for a damaged archive or a refused entry; a failure
// leaves no file behind.
TUnpackedFile UnpackFirstEntry(const std::string& package, const std::filesystem::path& target,
                               uint64_t nMaxSize = kMaxUnpackedSize,
                               TUnpackDurability durability = TUnpackDurability::eFlushEachFile,
                               const TUnpackOptions& options = {});
// UnpackFirstEntry for callers that need only the path.
std::filesystem::path ExtractFirstEntry(const std::string& package, const std::filesystem::path& target,
                                        uint64_t nMaxSize = kMaxUnpackedSize);
