#include "release/ProductSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

#include "base/Utf8.h"
#include "release/PublishError.h"

namespace fs = std::filesystem;

namespace {

bool IsInside(const fs::path& candidate, const fs::path& root) {
    auto rootIt = root.begin();
    auto candIt = candidate.begin();
    for (; rootIt != root.end(); ++rootIt, ++candIt) {
        if (candIt == candidate.end() || *candIt != *rootIt) return false;
    }
    return true;
}

void CheckName(const std::string& name, const std::string& relPath) {
    if (!IsValidUtf8(name)) throw TPublishError("\"" + relPath + "\": the name is not valid UTF-8");
    for (unsigned char c : name) {
        if (c == '\\')
            throw TPublishError("\"" + relPath +
                                "\": the name holds a back-slash, which the installer reads as a folder separator");
        if (c < 0x20 || std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
            throw TPublishError("\"" + relPath +
                                "\": the name holds a character that Windows does not allow in file names");
    }
}

void CheckReadable(const fs::path& path, const std::string& relPath) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw TPublishError("\"" + relPath +
                            "\": cannot be read: " + std::error_code(errno, std::generic_category()).message());
    ::close(fd);
}

std::time_t ModifiedTime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

class TFolderWalker {
public:
    explicit TFolderWalker(fs::path root) : m_Root(std::move(root)) {}

    void Walk(const fs::path& realDir, const std::string& relPrefix, std::vector<fs::path>& chain) {
        std::vector<fs::directory_entry> entries;
        std::error_code ec;
        fs::directory_iterator it(realDir, ec);
        if (ec) throw TPublishError("cannot read the folder \"" + realDir.string() + "\": " + ec.message());
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            entries.push_back(*it);
        }
        if (ec) throw TPublishError("cannot read the folder \"" + realDir.string() + "\": " + ec.message());
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
        for (const fs::directory_entry& entry : entries) Visit(entry, relPrefix, chain);
    }

    std::vector<TSourceFile> TakeFiles() { return std::move(m_Files); }

private:
    void Visit(const fs::directory_entry& entry, const std::string& relPrefix, std::vector<fs::path>& chain) {
        const std::string name = entry.path().filename().string();
        const std::string relPath = relPrefix + name;
        CheckName(name, relPath);
        std::error_code ec;
        fs::file_status status = entry.symlink_status(ec);
        if (ec) throw TPublishError("\"" + relPath + "\": " + ec.message());
        fs::path real = entry.path();
        if (fs::is_symlink(status)) {
            real = fs::canonical(entry.path(), ec);
            if (ec) throw TPublishError("\"" + relPath + "\": broken symbolic link");
            if (!IsInside(real, m_Root))
                throw TPublishError("\"" + relPath + "\": symbolic link leads out of the folder, to \"" +
                                    real.string() + "\"");
            status = fs::status(real, ec);
            if (ec) throw TPublishError("\"" + relPath + "\": " + ec.message());
        }
        if (fs::is_directory(status)) {
            if (std::find(chain.begin(), chain.end(), real) != chain.end())
                throw TPublishError("\"" + relPath + "\": symbolic link loops back to a folder that holds it");
            chain.push_back(real);
            Walk(real, relPath + "/", chain);
            chain.pop_back();
            return;
        }
        if (!fs::is_regular_file(status))
            throw TPublishError("\"" + relPath + "\": not a regular file (fifo, socket or device)");
        CheckReadable(real, relPath);
        AddFile(relPath, real);
    }

    void AddFile(const std::string& relPath, const fs::path& real) {
        std::string folded = relPath;
        std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
        auto [it, inserted] = m_FoldedPaths.emplace(folded, relPath);
        if (!inserted)
            throw TPublishError("\"" + relPath + "\" and \"" + it->second +
                                "\" differ only in letter case and would be one file on Windows");
        std::error_code ec;
        TSourceFile file;
        file.strRelPath = relPath;
        file.pathOnDisk = real;
        file.nSize = fs::file_size(real, ec);
        file.tModified = ModifiedTime(real);
        m_Files.push_back(std::move(file));
    }

    fs::path m_Root;
    std::vector<TSourceFile> m_Files;
    std::map<std::string, std::string> m_FoldedPaths;
};

}  // namespace

std::vector<TSourceFile> ScanProductFolder(const fs::path& folder) {
    std::error_code ec;
    fs::file_status status = fs::status(folder, ec);
    if (ec || !fs::exists(status)) throw TPublishError("the product folder \"" + folder.string() + "\" does not exist");
    if (!fs::is_directory(status)) throw TPublishError("\"" + folder.string() + "\" is not a folder");
    fs::path root = fs::canonical(folder, ec);
    if (ec) throw TPublishError("cannot resolve the product folder \"" + folder.string() + "\": " + ec.message());

    TFolderWalker walker(root);
    std::vector<fs::path> chain{root};
    walker.Walk(root, "", chain);
    std::vector<TSourceFile> files = walker.TakeFiles();
    if (files.empty()) throw TPublishError("the product folder \"" + folder.string() + "\" holds no file");
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.strRelPath < b.strRelPath; });
    return files;
}
