#pragma once
#include <string>
#include <vector>

#include "release/ZipWriter.h"

// Reads every entry of a zip archive held in memory with libarchive, the reader
// the installer unpacks packages with. Throws std::runtime_error with
// libarchive's message when the archive or an entry cannot be read.
std::vector<ZipEntry> ReadZipWithLibarchive(const std::string& zip);

// The compression method field of the archive's first local header.
int FirstEntryMethod(const std::string& zip);
