#include "workers/ExtractThread.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "engine/FilePlacement.h"
#include "base/MessageIds.h"
#include "platform/PathJoin.h"
#include "workers/BlockPipe.h"
#include "workers/DiskReservations.h"
#include "workers/FileHashing.h"
#include "workers/IoBuffer.h"
#include "workers/Md5Digest.h"
#include "workers/UnpackPriority.h"

namespace {

// Shared by every extract worker of the process: the first failure to create
// an output file lets the user retry, the second aborts the run.
std::atomic<bool> g_bCreateFailedOnce{false};

constexpr uint64_t kBombRatio = 1024;
constexpr uint64_t kBombSlack = 1024 * 1024;
constexpr uint64_t kDiskReserve = 16 * 1024 * 1024;
constexpr uint64_t kEarlyWritebackSize = 1024 * 1024;
// From this size on a file is decompressed on a thread of its own, under
// TUnpackPriority, and written and hashed on another.
constexpr uint64_t kPipedFileSize = 4 * 1024 * 1024;
// The largest dictionary of the standard LZMA presets (xz -9, 7-Zip ultra); the
// release tool uses 8 MiB at most.
constexpr uint32_t kMaxLzmaDictionary = 64u << 20;

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof(buffer));
}

struct TArchiveDeleter {
    void operator()(archive* zip) const { archive_read_free(zip); }
};
using TArchivePtr = std::unique_ptr<archive, TArchiveDeleter>;

[[noreturn]] void ThrowArchiveError(archive* zip, const std::string& what) {
    const char* detail = archive_error_string(zip);
    throw std::runtime_error(what + ": " + (detail != nullptr ? detail : "damaged archive"));
}

// The unpacked data goes to a temporary file beside the final one; it is
// removed again unless Commit put it in place.
class TPartFile {
public:
    TPartFile(const std::filesystem::path& finalPath, mode_t mode) : m_FinalPath(finalPath) {
        // The suffix is how an update finds and removes what a killed run left.
        const std::string_view suffix = TFilePlacement::kPartFileSuffix;
        std::string name = finalPath.string() + ".XXXXXX" + std::string(suffix);
        m_nFd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
        if (m_nFd < 0) throw EFCreateError("Cannot create file \"" + finalPath.string() + "\". " + ErrnoText(errno));
        m_strName = name;
        ::fchmod(m_nFd, mode);
    }
    ~TPartFile() {
        if (m_nFd >= 0) ::close(m_nFd);
        if (!m_bCommitted) ::unlink(m_strName.c_str());
    }
    TPartFile(const TPartFile&) = delete;
    TPartFile& operator=(const TPartFile&) = delete;

    const std::string& Name() const { return m_strName; }

    void Write(const char* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(m_nFd, data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw std::runtime_error("Cannot write file \"" + m_strName + "\". " + ErrnoText(errno));
            }
            data += n;
            size -= static_cast<size_t>(n);
            m_nWritten += static_cast<uint64_t>(n);
        }
    }

    // With eFlushEachFile the data reaches the disk before the rename, so that
    // after a power cut the final name holds either the old file or the whole
    // new one. A file that replaces nothing may leave the flush to its caller.
    void Commit(TUnpackDurability durability) {
        if (durability == TUnpackDurability::eFlushEachFile && ::fdatasync(m_nFd) != 0)
            throw std::runtime_error("Cannot flush file \"" + m_strName + "\". " + ErrnoText(errno));
        // Otherwise a large file's disk writes start now, while the other
        // packages are unpacked, so that the caller's one flush at the end
        // finds little left to wait for. Small files are left to that flush,
        // which writes them together: one request each cost more than it saved
        // (a release of 5,000 small files spent 8 % of its CPU time here).
        // Only a hint: a failure here changes nothing.
        if (durability == TUnpackDurability::eCallerFlushes && m_nWritten >= kEarlyWritebackSize)
            (void)::sync_file_range(m_nFd, 0, 0, SYNC_FILE_RANGE_WRITE);
        const int fd = m_nFd;
        m_nFd = -1;
        if (::close(fd) != 0)
            throw std::runtime_error("Cannot close file \"" + m_strName + "\". " + ErrnoText(errno));
        if (::rename(m_strName.c_str(), m_FinalPath.c_str()) != 0)
            throw EFCreateError("Cannot create file \"" + m_FinalPath.string() + "\". " + ErrnoText(errno));
        m_bCommitted = true;
    }

private:
    std::filesystem::path m_FinalPath;
    std::string m_strName;
    int m_nFd = -1;
    uint64_t m_nWritten = 0;
    bool m_bCommitted = false;
};

// Zip entry names flagged as UTF-8 are converted to the thread's character set
// by the zip reader; under the C locale names with accents would come out
// empty. Reading happens under a UTF-8 character set for this thread only.
// The locale is made once for the process and never freed: making and
// freeing it around every package loads and unloads glibc's locale data each
// time, thousands of times in a release of small files.
class TUtf8NamesScope {
public:
    TUtf8NamesScope() : m_Locale(Utf8Locale()) {
        if (m_Locale) m_Previous = uselocale(m_Locale);
    }
    ~TUtf8NamesScope() {
        if (m_Locale) uselocale(m_Previous);
    }
    TUtf8NamesScope(const TUtf8NamesScope&) = delete;
    TUtf8NamesScope& operator=(const TUtf8NamesScope&) = delete;

private:
    static locale_t Utf8Locale() {
        static const locale_t s_Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return s_Locale;
    }
    locale_t m_Locale;
    locale_t m_Previous = static_cast<locale_t>(0);
};

std::string EntryName(archive_entry* entry) {
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr) name = archive_entry_pathname(entry);
    return name != nullptr ? name : std::string();
}

// The entry's own permissions when the zip carries them, never writable by
// group or others and never set-id; 0644 otherwise.
mode_t OutputMode(archive_entry* entry) {
    const mode_t perm = archive_entry_perm(entry) & 0777;
    return perm == 0 ? 0644 : (perm & ~static_cast<mode_t>(022));
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
uint64_t UnpackLimit(archive_entry* entry, const std::string& name, size_t nPackageSize, uint64_t nMaxSize,
                     uint64_t nRoom) {
    if (archive_entry_size_is_set(entry) == 0)
        return std::min({kBombRatio * nPackageSize + kBombSlack, nMaxSize, nRoom});
    const uint64_t nDeclared = static_cast<uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0));
    if (nDeclared > nMaxSize)
        throw std::runtime_error("Package entry " + name + " declares " + std::to_string(nDeclared) +
                                 " bytes, more than the " + std::to_string(nMaxSize) + " allowed");
    if (nDeclared > nRoom)
        throw std::runtime_error("Package entry " + name + " declares " + std::to_string(nDeclared) +
                                 " bytes, more than the " + std::to_string(nRoom) + " the disk has room for");
    return nDeclared;
}

// A package never fills the disk, whatever it declares: it may take what the
// file system holding `path` has free, less a reserve for the log, the hive
// and the other workers' files. Unknown when nothing of the path exists yet
// or the file system does not say: then a full disk fails the write itself.
uint64_t RoomOnDisk(std::filesystem::path path) {
    struct statvfs info {};
    while (::statvfs(path.c_str(), &info) != 0) {
        if (errno != ENOENT || !path.has_relative_path()) return UINT64_MAX;
        path = path.parent_path();
    }
    const uint64_t nFree = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return nFree > kDiskReserve ? nFree - kDiskReserve : 0;
}

uint32_t LittleEndian(const std::string& bytes, size_t pos, int nBytes) {
    uint32_t value = 0;
    for (int i = nBytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
    return value;
}

// liblzma allocates the whole dictionary that an LZMA entry asks for before it
// decodes a byte, and the zip reader sets it no memory limit: a package of a
// few hundred bytes could take gigabytes from each worker. Every local header
// is checked, as the reader may take any of them for the first entry, and like
// the reader it looks at the low byte of the method only.
void CheckLzmaDictionaries(const std::string& package) {
    static const std::string kLocalHeader("PK\x03\x04", 4);
    constexpr size_t kFixedPart = 30;
    constexpr uint32_t kMethodLzma = 14;
    for (size_t pos = package.find(kLocalHeader); pos != std::string::npos; pos = package.find(kLocalHeader, pos + 1)) {
        if (package.size() - pos < kFixedPart || static_cast<unsigned char>(package[pos + 8]) != kMethodLzma) continue;
        // The data starts with the LZMA SDK version (2 bytes), the size of the
        // properties (2 bytes), then the properties: one byte, the dictionary size.
        const size_t data = pos + kFixedPart + LittleEndian(package, pos + 26, 2) + LittleEndian(package, pos + 28, 2);
        if (data + 9 > package.size()) continue;
        const uint32_t nDictionary = LittleEndian(package, data + 5, 4);
        if (nDictionary > kMaxLzmaDictionary)
            throw std::runtime_error("Package asks for an LZMA dictionary of " + std::to_string(nDictionary) +
                                     " bytes, more than the " + std::to_string(kMaxLzmaDictionary) + " allowed");
    }
}

// Reads the entry's data into the buffers `next` gives, handing each filled
// one to `put`; returns the number of bytes read.
template <class NextBuffer, class Put>
uint64_t ReadEntryData(archive* zip, const std::string& name, uint64_t nLimit, const std::function<bool()>& stopped,
                       NextBuffer next, Put put) {
    uint64_t nRead = 0;
    for (;;) {
        if (stopped && stopped()) throw EUnpackStopped("Unpacking of " + name + " stopped");
        const std::span<char> buffer = next();
        const la_ssize_t n = archive_read_data(zip, buffer.data(), buffer.size());
        if (n < 0) ThrowArchiveError(zip, "Cannot unpack " + name);
        if (n == 0) return nRead;
        nRead += static_cast<uint64_t>(n);
        if (nRead > nLimit)
            throw std::runtime_error("Package entry " + name + " unpacks to more than " + std::to_string(nLimit) +
                                     " bytes");
        put(buffer.data(), static_cast<size_t>(n));
    }
}

// What decompressing the entry costs, for TUnpackPriority, in rough
// nanoseconds: LZMA by its packed bytes (about 66 ms per MB here, whatever the
// ratio), Deflate by the bytes it makes (a few hundred MB/s), stored data at
// the speed of a copy. The method is read from the first local header, where
// the release tool puts the one entry; only a hint.
uint64_t UnpackCost(const std::string& package, uint64_t nSize) {
    constexpr uint32_t kMethodDeflate = 8;
    constexpr uint32_t kMethodLzma = 14;
    const bool bLocalHeader = package.size() >= 10 && package.compare(0, 4, "PK\x03\x04", 4) == 0;
    const uint32_t method = bLocalHeader ? LittleEndian(package, 8, 2) : 0;
    if (method == kMethodLzma) return package.size() * 66;
    if (method == kMethodDeflate) return nSize * 3;
    return nSize / 4;
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

}  // namespace

TUnpackedFile UnpackFirstEntry(const std::string& package, const std::filesystem::path& target, uint64_t nMaxSize,
                               TUnpackDurability durability, const TUnpackOptions& options) {
    CheckLzmaDictionaries(package);
    TUtf8NamesScope utf8Names;
    TArchivePtr zip(archive_read_new());
    if (!zip) throw std::runtime_error("Zip reader could not be created");
    archive_read_support_format_zip(zip.get());
    if (archive_read_open_memory(zip.get(), package.data(), package.size()) != ARCHIVE_OK)
        ThrowArchiveError(zip.get(), "Cannot open package");

    archive_entry* entry = nullptr;
    const int rc = archive_read_next_header(zip.get(), &entry);
    if (rc == ARCHIVE_EOF) throw std::runtime_error("Package holds no file");
    if (rc < ARCHIVE_WARN) ThrowArchiveError(zip.get(), "Cannot read package");

    const std::string name = EntryName(entry);
    if (name.empty()) throw std::runtime_error("Package entry has no name");
    if (archive_entry_filetype(entry) != AE_IFREG)
        throw std::runtime_error("Package entry is not a regular file: " + name);
    const std::filesystem::path path = ChosenOutputPath(target, name, options.strFileName);
    const bool bSizeDeclared = archive_entry_size_is_set(entry) != 0;
    // The room is shared with the other workers' files being unpacked.
    TDiskReservations::TTicket room = TDiskReservations::Process().Take(
        RoomOnDisk(path.parent_path()),
        [&](uint64_t nRoom) { return UnpackLimit(entry, name, package.size(), nMaxSize, nRoom); });
    const uint64_t nLimit = room.Bytes();

    CreateFolders(path.parent_path());
    TPartFile part(path, OutputMode(entry));
    // Hashing what is written spares reading the file back for its check.
    TMd5Digest digest;
    const auto keep = [&](const char* data, size_t size) {
        part.Write(data, size);
        room.Written(size);
        digest.Update(data, size);
    };
    uint64_t nWritten = 0;
    if (bSizeDeclared && nLimit >= kPipedFileSize) {
        RunOnOwnThread([&] {
            TUnpackPriority::TTicket ticket = TUnpackPriority::Process().Enter(UnpackCost(package, nLimit));
            TBlockPipe pipe([&](const char* data, size_t size) {
                ticket.JoinOnce();
                keep(data, size);
            });
            nWritten = ReadEntryData(zip.get(), name, nLimit, options.fnStopped, [&] { return pipe.Buffer(); },
                                     [&](const char*, size_t size) { pipe.Submit(size); });
            pipe.Finish();
        });
    } else {
        nWritten = ReadEntryData(zip.get(), name, nLimit, options.fnStopped, [] { return ThreadIoBuffer(); }, keep);
    }
    if (bSizeDeclared && nWritten != nLimit)
        throw std::runtime_error("Package entry " + name + " is shorter than its declared size");
    TUnpackedFile unpacked{path, digest.HexUpper()};
    // Refused, the temporary file goes with `part`; nothing was replaced.
    unpacked.bPlaced = !options.fnAccept || options.fnAccept(unpacked, part.Name());
    if (unpacked.bPlaced) part.Commit(durability);
    return unpacked;
}

std::filesystem::path ExtractFirstEntry(const std::string& package, const std::filesystem::path& target,
                                        uint64_t nMaxSize) {
    return UnpackFirstEntry(package, target, nMaxSize).path;
}

TExtractThread::TExtractThread(IWorkerHost& host) : TBaseWorkerThread("vxExtract"), m_Host(host) {}

TExtractThread::~TExtractThread() { Stop(); }

void TExtractThread::ResetCreateFailureFlag() { g_bCreateFailedOnce.store(false); }

void TExtractThread::Execute() {
    while (!Terminated()) {
        if (m_Host.bInstallSuspended()) {
            Idle(kIdleWait);
            continue;
        }
        PFileToDownload item = m_Host.WaitExtractionItem(kIdleWait);
        if (!item) continue;
        bool bGoOn = true;
        try {
            // A record just put back by a worker that suspended the run must
            // wait for the user's retry, not fail a second time at once.
            if (m_Host.bInstallSuspended() || Terminated())
                m_Host.EnqueueItemForExtraction(std::move(item));
            else
                bGoOn = ProcessItem(std::move(item));
        } catch (const std::exception& e) {
            AppendLog("TExtractThread.Execute: Exception=" + std::string(e.what()));
        }
        m_Host.DecrementWorkerActiveCount();
        if (!bGoOn) break;
    }
}

bool TExtractThread::ProcessItem(PFileToDownload item) {
    std::string target;
    try {
        if (!item->Stream) throw std::runtime_error("No package to unpack");
        target = JoinPath(m_Host.TempDownloadPath(), item->strFilePath).string();
        AppendLog("TExtractThread: Extracting=" + item->strFileName + " to=" + target);
        // A new installation is unpacked into a folder of its own that the
        // engine flushes once before putting it in place; an update replaces
        // installed files one by one, each of which must be whole on disk first.
        TUnpackOptions options;
        options.strFileName = item->strFileName;
        options.fnAccept = [&](const TUnpackedFile& file, const std::filesystem::path& part) {
            return Md5Matches(file, part, *item);
        };
        options.fnStopped = [this] { return Terminated(); };
        const TUnpackedFile unpacked =
            UnpackFirstEntry(item->Stream->data, target, kMaxUnpackedSize,
                             m_Host.IsNewInstall() ? TUnpackDurability::eCallerFlushes
                                                   : TUnpackDurability::eFlushEachFile,
                             options);
        item->Stream.reset();
        if (!unpacked.bPlaced) {
            HandleMismatch(std::move(item));
            return true;
        }
        item.reset();
        m_Host.IncrementValidatedCount();
        return true;
    } catch (const EUnpackStopped& e) {
        // The run is being stopped: its queues go with it.
        AppendLog("TExtractThread.Execute: " + std::string(e.what()) + ", the worker is ending");
        return false;
    } catch (const EFCreateError& e) {
        HandleCreateFailure(std::move(item), e.what(), target);
        return true;
    } catch (const std::exception& e) {
        return HandleOtherFailure(std::move(item), e.what(), target);
    }
}

bool TExtractThread::Md5Matches(const TUnpackedFile& unpacked, const std::filesystem::path& partPath,
                                const TFileToDownload& item) {
    if (ValidateMD5Digest(unpacked.path, unpacked.strMd5, item.strFileMd5, partPath)) return true;
    m_Host.SetMd5Failed();
    const std::string info = "File: " + item.strFileName + " Remote MD5: " + item.strFileMd5 +
                             " Local MD5: " + unpacked.strMd5 + " Modified at: " + GetFileModifiedTime(partPath) +
                             " File size: " + GetFileSizeText(partPath) + " bytes";
    AppendLog("TExtractThread.Execute: Invalid hash for " + info);
    m_Host.AddFailedMd5Info(info);
    return false;
}

// The mismatching file was never placed. Unattended, the run goes on to its
// end, where the mismatches are reported and it ends without success; in the
// window the file is fetched again like a damaged package, so the retry frame
// follows when the server keeps sending it.
void TExtractThread::HandleMismatch(PFileToDownload item) {
    if (m_Host.GetInstallType() != citNone) return m_Host.IncrementValidatedCount();
    DownloadAgain(std::move(item));
}

// Counts as a failed download try; the partly written file is already gone
// and an installed file of that name was never touched.
void TExtractThread::DownloadAgain(PFileToDownload item) {
    ++item->nRetries;
    item->Stream.reset();
    const int64_t nSize = item->nDownloadSize;
    m_Host.EnqueueItemForDownload(std::move(item));
    m_Host.UpdateTotalDownloaded(-nSize);
}

void TExtractThread::HandleCreateFailure(PFileToDownload item, const std::string& message,
                                         const std::string& target) {
    const std::string details = ". File=" + item->strFileName + ". Path=" + target + "  Remote Md5=" + item->strFileMd5;
    m_Host.SuspendInstallation();
    // Keeps its package: after the retry it is unpacked again without a download.
    m_Host.EnqueueItemForExtraction(std::move(item));
    AppendLog("TExtractThread.Execute: Exception (EFCreateError) =" + message + details);
    if (g_bCreateFailedOnce.exchange(true)) {
        AppendLog("TExtractThread.Execute: Extraction failed again. Aborting...");
        m_Host.AbortUnexpectedError();
        return;
    }
    AppendLog("TExtractThread.Execute: Extraction failed once. Retry allowed.");
    m_Host.MainHandle().PostText(WM_SET_RETRY_MSG, txtInstallError);
    m_Host.MainHandle().Post(WM_CHANGE_VISIBLE_FRAME, fiRetry);
}

bool TExtractThread::HandleOtherFailure(PFileToDownload item, const std::string& message, const std::string& target) {
    AppendLog("TExtractThread.Execute: Exception=" + message + ". File=" + item->strFileName + ". Path=" + target +
              "  Remote Md5=" + item->strFileMd5);
    if (m_Host.GetInstallType() != citNone) {
        SetExitCode(ecUnexpected);
        m_Host.MainHandle().PostQuit();
        return false;
    }
    DownloadAgain(std::move(item));
    return true;
}
