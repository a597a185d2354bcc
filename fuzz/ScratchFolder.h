#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A folder in which one fuzz input at a time is unpacked, at the bottom of a
// chain of folders that inotify watches: any name created, moved in, changed
// or removed beside the scratch folder or above it (up to the top of the
// chain) is seen, even when the culprit removed it again before returning.
// Everything lives under one new folder of $TMPDIR (else /tmp), removed at the
// end.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    // An empty scratch folder; what happened outside it before is forgotten.
    const std::filesystem::path& Fresh();
    // What happened outside the scratch folder since Fresh, one "folder/name"
    // a line; empty when nothing did.
    std::vector<std::string> ChangesOutside();
    // Everything under the scratch folder that is not a folder (links
    // included, never followed), as full paths.
    std::vector<std::filesystem::path> NonFolders() const;

private:
    void Watch(const std::filesystem::path& folder);
    std::vector<std::string> ReadEvents();

    std::filesystem::path m_Top;
    std::filesystem::path m_Scratch;
    int m_nInotify = -1;
    std::map<int, std::filesystem::path> m_Watched;
};
