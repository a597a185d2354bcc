#pragma once
#include <string>
#include <vector>

// Builds zip packages in memory for tests of the extract worker, including
// packages no honest release tool would make (hostile entry names).
struct TZipEntry {
    std::string strName;
    std::string strData;
    unsigned nMode = 0644;  // permissions recorded for the entry
};

enum class TZipCompression { Store, Deflate };

std::string MakeTestZip(const std::vector<TZipEntry>& entries, TZipCompression method = TZipCompression::Deflate);

// MD5 of a text, upper-case hexadecimal.
std::string Md5Upper(const std::string& data);
