#pragma once
#include <cstdint>
#include <string>

// A folder of this process's own in a folder shared with others (the user's
// temporary folder), where names are predictable and anyone may plant a
// link. It is made afresh, readable by the current user only, and removed
// only while its name still holds that very folder.
class TPrivateFolder {
public:
    // Creates `folder` (no trailing separator) exclusively, never through a
    // link. When the name is taken in any form, the folder gets an
    // unpredictable suffix instead ("<folder>_XXXXXX"). Returns the path made;
    // throws std::runtime_error ("Cannot create folder <path>/: <reason>")
    // when nothing could be made.
    std::string Create(const std::string& folder);

    enum class TRemoval { NothingMade, Removed, NoLongerOurs };
    // Removes the folder Create made with everything in it, once. A name that
    // no longer holds that folder (it was moved, or a link or another folder
    // took its place) is left alone: NoLongerOurs.
    TRemoval Remove();

private:
    std::string m_strFolder;
    bool m_bMade = false;
    // What the file system identifies the folder by: a device and inode
    // number, or a volume serial number and file index.
    uint64_t m_nVolume = 0;
    uint64_t m_nFile = 0;
};
