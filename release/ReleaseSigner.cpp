#include "release/ReleaseSigner.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "platform/Sha256Digest.h"
#include "release/AtomicFile.h"
#include "release/Md5Hex.h"
#include "release/PublishError.h"
#include "release/ReleasePublisher.h"
#include "release/SignatureFile.h"
#include "release/SigningKey.h"
#include "release/VersionDocument.h"
#include "service/VersionInfoReader.h"
#include "workers/PackageReader.h"

namespace fs = std::filesystem;

namespace {

struct TPendingDocument {
    fs::path path;
    TVersionDocument doc;
};

// What a package under files/ holds, computed once however many documents name it.
struct TPackageFacts {
    std::uint64_t nSize = 0;
    std::string strSha256;
    std::optional<std::string> strContentSha256;  // only when a document lacks it
};

using TPackageCache = std::map<std::string, TPackageFacts>;

bool IsLowerHex(const std::string& text, std::size_t length) {
    return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool IsHiddenOrSignature(const fs::path& relative) {
    const std::string name = relative.filename().string();
    if (name.size() >= kSignatureSuffix.size() &&
        name.compare(name.size() - kSignatureSuffix.size(), std::string::npos, kSignatureSuffix) == 0)
        return true;
    return std::any_of(relative.begin(), relative.end(),
                       [](const fs::path& part) { return !part.empty() && part.string().front() == '.'; });
}

// Every document under version/, sorted. Links are refused: writing the
// document back would replace the link by a file.
std::vector<fs::path> ListDocuments(const fs::path& tree) {
    const fs::path versionDir = tree / "version";
    std::error_code ec;
    if (!fs::is_directory(versionDir, ec))
        throw TPublishError("\"" + tree.string() + "\" holds no version/ folder: it is no published tree");
    std::vector<fs::path> documents;
    for (auto it = fs::recursive_directory_iterator(versionDir); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path relative = fs::relative(it->path(), versionDir);
        if (IsHiddenOrSignature(relative)) continue;
        if (it->is_symlink())
            throw TPublishError("\"" + it->path().string() + "\" is a symbolic link; sign the tree it leads to");
        if (it->is_regular_file()) documents.push_back(it->path());
    }
    if (documents.empty()) throw TPublishError("\"" + versionDir.string() + "\" holds no version document");
    std::sort(documents.begin(), documents.end());
    return documents;
}

// version/<product>/<channel path...>/<locale>: the query the document answers.
TDocumentAnswers AnswersFromPath(const fs::path& tree, const fs::path& document) {
    std::vector<std::string> parts;
    for (const fs::path& part : fs::relative(document, tree / "version")) parts.push_back(part.string());
    if (parts.size() < 3)
        throw TPublishError("\"" + document.string() +
                            "\" lies outside version/<product>/<channel>/<locale>: no query asks for it");
    std::string channel = parts[1];
    for (std::size_t i = 2; i + 1 < parts.size(); ++i) channel += "/" + parts[i];
    return {parts.front(), channel, parts.back()};
}

// The document as the writer would write it. What the writer cannot say
// (a file not to install) is refused rather than silently changed.
TVersionDocument ToWritable(const TVantixVersion& read, const fs::path& path) {
    for (const PVantixVersionFile& file : read.lstFiles)
        if (!file->bInstall)
            throw TPublishError("\"" + path.string() + "\" lists \"" + file->strFile +
                                "\" without \"install\": true, which vxrelease does not write");
    return DocumentFromRelease(read);
}

TVersionDocument ReadDocument(const fs::path& path) {
    TVantixVersion read;
    try {
        ReadVersionDocument(ReadWholeFile(path), read);
    } catch (const std::exception& e) {
        throw TPublishError("the version document \"" + path.string() + "\" cannot be read: " + e.what());
    }
    return ToWritable(read, path);
}

std::string ReadPackage(const fs::path& package, const fs::path& document) {
    std::error_code ec;
    if (!fs::is_regular_file(package, ec))
        throw TPublishError("the package \"" + package.string() + "\" named by \"" + document.string() +
                            "\" is missing");
    return ReadWholeFile(package);
}

std::string UnpackFirstEntry(const std::string& package) {
    std::unique_ptr<IPackageReader> reader = OpenPackage(package);
    std::string content;
    char block[1 << 16];
    while (std::size_t got = reader->Read(std::span<char>(block, sizeof block))) content.append(block, got);
    return content;
}

// The SHA-256 of what the package unpacks to, once its MD5 is the one its name promises.
std::string ContentSha256(const std::string& package, const std::string& md5, const fs::path& path) {
    std::string content;
    try {
        content = UnpackFirstEntry(package);
    } catch (const std::exception& e) {
        throw TPublishError("the package \"" + path.string() + "\" cannot be unpacked: " + e.what());
    }
    if (Md5Hex(content) != md5)
        throw TPublishError("the package \"" + path.string() + "\" does not hold the content its name promises");
    return Sha256Hex(content);
}

void FillFileHashes(TDocumentFile& file, const fs::path& tree, const fs::path& document, TPackageCache& cache) {
    if (!IsLowerHex(file.strMd5, 32))
        throw TPublishError("\"" + document.string() + "\" names the package \"" + file.strMd5 + "\", which is no MD5");
    const fs::path path = tree / "files" / file.strMd5;
    const bool known = cache.count(file.strMd5) > 0;
    TPackageFacts& facts = cache[file.strMd5];
    const bool needContent = !IsLowerHex(file.strSha256, 64) && !facts.strContentSha256;
    if (!known || needContent) {
        const std::string package = ReadPackage(path, document);
        facts.nSize = package.size();
        facts.strSha256 = Sha256Hex(package);
        if (needContent) facts.strContentSha256 = ContentSha256(package, file.strMd5, path);
    }
    if (file.nSize != facts.nSize)
        throw TPublishError("\"" + document.string() + "\" gives " + std::to_string(file.nSize) + " bytes for \"" +
                            path.string() + "\", which holds " + std::to_string(facts.nSize));
    file.strPackageSha256 = facts.strSha256;
    if (!IsLowerHex(file.strSha256, 64)) file.strSha256 = *facts.strContentSha256;
}

std::vector<TPendingDocument> CheckDocuments(const fs::path& tree) {
    std::vector<TPendingDocument> pending;
    TPackageCache cache;
    for (const fs::path& path : ListDocuments(tree)) {
        TPendingDocument document{path, ReadDocument(path)};
        document.doc.answers = AnswersFromPath(tree, path);
        for (TDocumentFile& file : document.doc.arFiles) FillFileHashes(file, tree, path, cache);
        pending.push_back(std::move(document));
    }
    return pending;
}

}  // namespace

TSignSummary SignReleaseTree(const TSignRequest& request) {
    if (request.nExpiryDays < 1) throw TPublishError("signed documents must stay valid for at least one day");
    const TSigningKey key = TSigningKey::LoadPem(request.pathSigningKey);
    std::vector<TPendingDocument> pending = CheckDocuments(request.pathTree);

    TSignSummary summary;
    summary.strExpires = ExpiryStamp(std::chrono::system_clock::now(), request.nExpiryDays);
    for (TPendingDocument& document : pending) {
        document.doc.strExpires = summary.strExpires;
        WriteSignedFile(document.path, WriteVersionDocument(document.doc), key);
        ++summary.nDocuments;
    }
    const fs::path versionTxt = request.pathTree / kInstallerVersionFile;
    std::error_code ec;
    if (fs::is_regular_file(versionTxt, ec)) {
        WriteSignatureOf(versionTxt, ReadWholeFile(versionTxt), key);
        summary.bVersionTxtSigned = true;
    }
    return summary;
}
