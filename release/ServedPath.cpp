#include "release/ServedPath.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::optional<std::vector<std::string>> SafeSegments(std::string_view urlPath) {
    if (urlPath.empty() || urlPath.front() != '/') return std::nullopt;
    std::vector<std::string> segments;
    std::size_t start = 1;
    for (;;) {
        std::size_t end = urlPath.find('/', start);
        std::string segment(
            urlPath.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (segment.empty() || segment.front() == '.' || segment.find('\\') != std::string::npos ||
            segment.find('\0') != std::string::npos)
            return std::nullopt;
        segments.push_back(std::move(segment));
        if (end == std::string_view::npos) return segments;
        start = end + 1;
    }
}

bool IsPackageName(const std::string& name) {
    return name.size() == 32 && std::all_of(name.begin(), name.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string ContentTypeFor(const std::vector<std::string>& segments) {
    // A document's or version.txt's detached signature, "<name>.sig".
    if (segments.size() >= 2 && segments[0] == "version" && EndsWith(segments.back(), ".sig")) return "text/plain";
    if (segments == std::vector<std::string>{"produtos", "bin", "newvantix", "version.txt.sig"}) return "text/plain";
    if (segments.size() >= 2 && segments[0] == "version") return "application/json";
    if (segments.size() == 2 && segments[0] == "files" && IsPackageName(segments[1])) return "application/zip";
    if (segments == std::vector<std::string>{"produtos", "bin", "newvantix", "version.txt"}) return "text/plain";
    return "";
}

bool IsInside(const fs::path& candidate, const fs::path& root) {
    auto [rootEnd, candIt] = std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return rootEnd == root.end();
}

}  // namespace

std::optional<TServedFile> ResolveServedPath(const fs::path& treeReal, std::string_view urlPath) {
    std::optional<std::vector<std::string>> segments = SafeSegments(urlPath);
    if (!segments) return std::nullopt;
    std::string contentType = ContentTypeFor(*segments);
    if (contentType.empty()) return std::nullopt;
    fs::path candidate = treeReal;
    for (const std::string& segment : *segments) candidate /= segment;
    std::error_code ec;
    // Links inside the tree are fine; one that leads elsewhere is not served.
    fs::path real = fs::canonical(candidate, ec);
    if (ec || !IsInside(real, treeReal) || !fs::is_regular_file(real, ec)) return std::nullopt;
    return TServedFile{real, contentType};
}
