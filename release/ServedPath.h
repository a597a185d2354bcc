#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// A file of a published tree that may be served, with its content type.
struct TServedFile {
    std::filesystem::path path;
    std::string strContentType;
};

// Maps a decoded URL path onto the published tree whose resolved location is
// `treeReal`, or gives nothing (404). Only what the installer asks for is
// served: version documents (application/json), packages "files/<32 lower-case
// hex digits>" (application/zip), the installer's version.txt (text/plain) and
// the detached signatures of documents and of version.txt ("<name>.sig",
// text/plain).
// Empty, "." and ".." segments, hidden names (the publisher's temporary files
// start with a point), back-slashes and anything that resolves outside the tree
// or to something other than a regular file give nothing.
std::optional<TServedFile> ResolveServedPath(const std::filesystem::path& treeReal, std::string_view urlPath);
