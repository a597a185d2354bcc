#include "workers/PackageUnpacker.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <thread>

#include "diagnostics/Log.h"
#include "platform/FileSystem.h"
#include "platform/Md5Digest.h"
#include "platform/PathJoin.h"
#include "platform/Sha256Digest.h"
#include "workers/BlockPipe.h"
#include "workers/DiskReservations.h"
#include "workers/IoBuffer.h"
#include "workers/PackageReader.h"
#include "workers/UnpackPriority.h"

namespace {

constexpr uint64_t kBombRatio = 1024;
constexpr uint64_t kBombSlack = 1024 * 1024;
constexpr uint64_t kDiskReserve = 16 * 1024 * 1024;
constexpr uint64_t kEarlyWritebackSize = 1024 * 1024;
// From this size on a file is decompressed on a thread of its own, under
// TUnpackPriority, and written and hashed on another.
constexpr uint64_t kPipedFileSize = 4 * 1024 * 1024;

// The entry's own permissions when the zip carries them, never writable by
// group or others and never set-id; 0644 otherwise.
uint32_t OutputPermissions(const TPackageEntry& entry) {
    return entry.nPermissions == 0 ? 0644 : (entry.nPermissions & ~uint32_t(022));
}

// "." or "./." would make the target folder itself the output file, and its
// temporary file would go beside the target, outside it.
std::filesystem::path OutputPath(const std::filesystem::path& target, const std::string& name) {
    const std::filesystem::path relative = ToNativeRelative(name);
    if (relative.empty()) throw std::runtime_error("Package entry names no file: " + name);
    return target / relative;
}

// A declared size is exact; without one, more than any real compression ratio
// gives is a decompression bomb. Nothing beyond `nMaxSize` in either case.
uint64_t UnpackLimit(const TPackageEntry& entry, size_t nPackageSize, uint64_t nMaxSize, uint64_t nRoom) {
    if (!entry.bSizeDeclared) return std::min({kBombRatio * nPackageSize + kBombSlack, nMaxSize, nRoom});
    const uint64_t nDeclared = entry.nDeclaredSize;
    if (nDeclared > nMaxSize)
        throw std::runtime_error("Package entry " + entry.strName + " declares " + std::to_string(nDeclared) +
                                 " bytes, more than the " + std::to_string(nMaxSize) + " allowed");
    if (nDeclared > nRoom)
        throw std::runtime_error("Package entry " + entry.strName + " declares " + std::to_string(nDeclared) +
                                 " bytes, more than the " + std::to_string(nRoom) + " the disk has room for");
    return nDeclared;
}

// A package never fills the disk, whatever it declares: it may take what the
// file system holding `path` has free, less a reserve for the log, the hive
// and the other workers' files. Unknown when the file system does not say:
// then a full disk fails the write itself.
uint64_t RoomOnDisk(const std::filesystem::path& path) {
    const uint64_t nFree = FreeDiskBytes(path);
    if (nFree == UINT64_MAX) return UINT64_MAX;
    return nFree > kDiskReserve ? nFree - kDiskReserve : 0;
}

// Reads the entry's data into the buffers `next` gives, handing each filled
// one to `put`; returns the number of bytes read.
template <class NextBuffer, class Put>
uint64_t ReadEntryData(IPackageReader& reader, uint64_t nLimit, const std::function<bool()>& stopped, NextBuffer next,
                       Put put) {
    const std::string& name = reader.FirstEntry().strName;
    uint64_t nRead = 0;
    for (;;) {
        if (stopped && stopped()) throw EUnpackStopped("Unpacking of " + name + " stopped");
        const std::span<char> buffer = next();
        const size_t n = reader.Read(buffer);
        if (n == 0) return nRead;
        nRead += n;
        if (nRead > nLimit)
            throw std::runtime_error("Package entry " + name + " unpacks to more than " + std::to_string(nLimit) +
                                     " bytes");
        put(buffer.data(), n);
    }
}

// Runs `work` on a new thread and waits for it, passing on what it throws.
template <class Work>
void RunOnOwnThread(Work work) {
    std::exception_ptr failure;
    std::thread thread([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    thread.join();
    if (failure) std::rethrow_exception(failure);
}

std::string ComparableEntryName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

std::filesystem::path ChosenOutputPath(const std::filesystem::path& target, const std::string& entryName,
                                       const std::string& fileName) {
    if (fileName.empty()) return OutputPath(target, entryName);
    if (ComparableEntryName(entryName) != ComparableEntryName(fileName))
        AppendLog("TExtractThread: Package entry=" + entryName + " differs from File=" + fileName +
                  "; written as File");
    return OutputPath(target, fileName);
}

void CreateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw EFCreateError("Cannot create folder \"" + folder.string() + "\". " + ec.message());
}

// Reads the whole entry into `keep`: a large one decompressed on a thread of
// its own and handed over block by block, a small one on this thread.
uint64_t UnpackData(IPackageReader& reader, uint64_t nLimit, const std::function<bool()>& stopped,
                    const std::function<void(const char*, size_t)>& keep) {
    if (!reader.FirstEntry().bSizeDeclared || nLimit < kPipedFileSize)
        return ReadEntryData(
            reader, nLimit, stopped, [] { return ThreadIoBuffer(); }, keep);
    uint64_t nWritten = 0;
    RunOnOwnThread([&] {
        TUnpackPriority::TTicket ticket = TUnpackPriority::Process().Enter(reader.UnpackCost(nLimit));
        TBlockPipe pipe([&](const char* data, size_t size) {
            ticket.JoinOnce();
            keep(data, size);
        });
        nWritten = ReadEntryData(
            reader, nLimit, stopped, [&] { return pipe.Buffer(); },
            [&](const char*, size_t size) { pipe.Submit(size); });
        pipe.Finish();
    });
    return nWritten;
}

// With eFlushEachFile the data reaches the disk before the rename, so that
// after a power cut the final name holds either the old file or the whole new
// one. A file that replaces nothing may leave the flush to its caller: then a
// large file's disk writes start now, while the other packages are unpacked,
// so that the caller's one flush at the end finds little left to wait for.
// Small files are left to that flush, which writes them together: one request
// each cost more than it saved (a release of 5,000 small files spent 8 % of
// its CPU time here).
void CommitPart(TPartFile& part, TUnpackDurability durability) {
    if (durability == TUnpackDurability::eFlushEachFile) part.Flush();
    if (durability == TUnpackDurability::eCallerFlushes && part.Written() >= kEarlyWritebackSize) part.StartWriteback();
    part.Commit();
}

}  // namespace

TUnpackedFile UnpackFirstEntry(const std::string& package, const std::filesystem::path& target, uint64_t nMaxSize,
                               TUnpackDurability durability, const TUnpackOptions& options) {
    const std::unique_ptr<IPackageReader> reader = OpenPackage(package);
    const TPackageEntry& entry = reader->FirstEntry();
    if (entry.strName.empty()) throw std::runtime_error("Package entry has no name");
    if (!entry.bRegularFile) throw std::runtime_error("Package entry is not a regular file: " + entry.strName);
    const std::filesystem::path path = ChosenOutputPath(target, entry.strName, options.strFileName);
    // The room is shared with the other workers' files being unpacked.
    TDiskReservations::TTicket room = TDiskReservations::Process().Take(
        RoomOnDisk(path.parent_path()),
        [&](uint64_t nRoom) { return UnpackLimit(entry, package.size(), nMaxSize, nRoom); });
    const uint64_t nLimit = room.Bytes();

    CreateFolders(path.parent_path());
    TPartFile part(path, kPartFileSuffix, OutputPermissions(entry));
    // Hashing what is written spares reading the file back for its check.
    TMd5Digest digest;
    std::optional<TSha256Digest> sha256;
    if (options.bSha256) sha256.emplace();
    const uint64_t nWritten = UnpackData(*reader, nLimit, options.fnStopped, [&](const char* data, size_t size) {
        part.Write(data, size);
        room.Written(size);
        digest.Update(data, size);
        if (sha256) sha256->Update(data, size);
    });
    if (entry.bSizeDeclared && nWritten != nLimit)
        throw std::runtime_error("Package entry " + entry.strName + " is shorter than its declared size");
    TUnpackedFile unpacked{path, digest.HexUpper()};
    if (sha256) unpacked.strSha256 = sha256->HexLower();
    // Refused, the temporary file goes with `part`; nothing was replaced.
    unpacked.bPlaced = !options.fnAccept || options.fnAccept(unpacked, part.Name());
    if (unpacked.bPlaced) CommitPart(part, durability);
    return unpacked;
}

std::filesystem::path ExtractFirstEntry(const std::string& package, const std::filesystem::path& target,
                                        uint64_t nMaxSize) {
    return UnpackFirstEntry(package, target, nMaxSize).path;
}
