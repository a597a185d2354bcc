#pragma once
#include <filesystem>
#include <string>

// The MD5 check of a file on disk that both kinds of worker use, and the small
// file texts its log lines carry. Any thread; no shared state.

// True when the file's MD5 equals RemoteMd5: the same text (two empty texts
// match), or both non-empty and equal without regard to the case of ASCII
// letters. Writes one "ValidateMD5Hash: " log line. Never throws: a file that
// cannot be read is a mismatch, logged with the failure's message.
bool ValidateMD5Hash(const std::filesystem::path& FileName, const std::string& RemoteMd5);

// The same check and log line for a file whose MD5 is already known (computed
// while the file was written), so the file is not read a second time. When the
// content still stands under a temporary name, `WrittenAs` names it: the line
// keeps FileName's name and takes the time and size from `WrittenAs`.
bool ValidateMD5Digest(const std::filesystem::path& FileName, const std::string& LocalMd5,
                       const std::string& RemoteMd5, const std::filesystem::path& WrittenAs = {});

// The file's MD5 as 32 upper-case hexadecimal digits; empty when the file does
// not exist. Throws std::runtime_error when it exists but cannot be opened or read.
std::string GetFileMD5(const std::filesystem::path& FileName);

// Last-write time in local time, "dd/mm/yyyy hh:nn:ss"; when the file cannot be
// looked at, the system's message for the error (e.g. "No such file or directory").
std::string GetFileModifiedTime(const std::filesystem::path& FileName);

// The low 32 bits of the file's size, in decimal; on failure the system's
// message for the error.
std::string GetFileSizeText(const std::filesystem::path& FileName);
