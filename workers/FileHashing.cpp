#include "workers/FileHashing.h"

#include <cerrno>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <vector>

#include "diagnostics/Log.h"
#include "platform/Md5Digest.h"
#include "platform/SequentialFile.h"
#include "workers/IoBuffer.h"

namespace {

// The platform reports failures as error codes of its own category, so the
// code's own message is the one to show.
[[noreturn]] void ThrowFileError(const char* what, const std::filesystem::path& FileName, const std::error_code& ec) {
    throw std::runtime_error(std::string(what) + " \"" + FileName.string() + "\". " + ec.message());
}

bool SameDigest(const std::string& local, const std::string& remote) {
    if (local == remote) return true;
    if (local.empty() || remote.empty() || local.size() != remote.size()) return false;
    for (size_t i = 0; i < local.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(local[i]);
        unsigned char b = static_cast<unsigned char>(remote[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::string GetFileMD5(const std::filesystem::path& FileName) {
    TSequentialFile file;
    std::error_code ec;
    if (!file.Open(FileName, ec)) {
        if (ec == std::errc::no_such_file_or_directory) return {};
        ThrowFileError("Cannot open file", FileName, ec);
    }

    TMd5Digest digest;
    const std::span<char> buffer = ThreadIoBuffer();
    for (;;) {
        const int64_t nRead = file.Read(buffer, ec);
        if (nRead < 0) ThrowFileError("Cannot read file", FileName, ec);
        if (nRead == 0) break;
        digest.Update(buffer.data(), static_cast<size_t>(nRead));
    }
    return digest.HexUpper();
}

std::string GetFileModifiedTime(const std::filesystem::path& FileName) {
    TFileFacts facts;
    std::error_code ec;
    if (!ReadFileFacts(FileName, facts, ec)) return ec.message();
    std::tm local{};
    const time_t seconds = static_cast<time_t>(facts.nModifiedSeconds);
    if (localtime_r(&seconds, &local) == nullptr) return std::generic_category().message(errno);
    char text[32];
    std::strftime(text, sizeof(text), "%d/%m/%Y %H:%M:%S", &local);
    return text;
}

std::string GetFileSizeText(const std::filesystem::path& FileName) {
    TFileFacts facts;
    std::error_code ec;
    if (!ReadFileFacts(FileName, facts, ec)) return ec.message();
    return std::to_string(facts.nSize & 0xFFFFFFFFull);
}

bool ValidateMD5Hash(const std::filesystem::path& FileName, const std::string& RemoteMd5) {
    try {
        return ValidateMD5Digest(FileName, GetFileMD5(FileName), RemoteMd5);
    } catch (const std::exception& e) {
        try {
            AppendLog("ValidateMD5Hash: Exception validating file MD5. Remote=" + RemoteMd5 + "Exception = " +
                      e.what());
        } catch (...) {
            // Out of memory for the line itself: the answer is still a mismatch.
        }
        return false;
    }
}

bool ValidateMD5Digest(const std::filesystem::path& FileName, const std::string& local,
                       const std::string& RemoteMd5, const std::filesystem::path& WrittenAs) {
    const bool bMatch = SameDigest(local, RemoteMd5);
    std::string line = "File=" + FileName.filename().string() + " Remote=" + RemoteMd5 + " " +
                       BoolText(bMatch) + " Local=" + local;
    const std::filesystem::path& content = WrittenAs.empty() ? FileName : WrittenAs;
    if (!bMatch)
        line += " Modified at: " + GetFileModifiedTime(content) + " File size: " + GetFileSizeText(content) +
                " bytes";
    AppendLog("ValidateMD5Hash: " + line);
    return bMatch;
}
