#pragma once
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

// One file of the product folder, found by ScanProductFolder.
struct TSourceFile {
    std::string strRelPath;            // relative to the folder, "/" separators, UTF-8
    std::filesystem::path pathOnDisk;  // where to read it (a link's target resolved)
    std::uint64_t nSize = 0;
    std::time_t tModified = 0;
};

// Lists every regular file below `folder`, sorted by relative path, and refuses
// (TPublishError) what the installer could not place safely or what would make
// a release depend on things outside the folder:
// - a missing or unreadable folder, or a path that is not a folder;
// - a symbolic link that is broken, leads out of the folder or loops; links
//   that stay inside are followed;
// - anything other than folders and regular files (fifos, sockets, devices);
// - a file that cannot be opened for reading;
// - a name holding a back-slash (it would be read back as a folder separator),
//   a character that Windows refuses in names (< > : " | ? * and control
//   characters), or bytes that are not UTF-8 (the release description is UTF-8);
// - two paths that differ only in letter case (one file on Windows);
// - a folder without any file.
std::vector<TSourceFile> ScanProductFolder(const std::filesystem::path& folder);
