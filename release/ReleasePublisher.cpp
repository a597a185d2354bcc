#include "release/ReleasePublisher.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "base/Utf8.h"
#include "release/AtomicFile.h"
#include "release/FileSha256.h"
#include "release/Md5Hex.h"
#include "release/PackageFile.h"
#include "release/ProductSource.h"
#include "release/PublishError.h"
#include "release/SignatureFile.h"
#include "release/SigningKey.h"
#include "release/VersionDocument.h"
#include "release/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

// Leaves room for the zip headers, and for stored data that does not shrink.
constexpr std::uint64_t kLargestFile = 0xFFFFFFFFull - (1u << 20);

std::int32_t ParseNumber(const std::string& text, std::int64_t limit) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    std::int64_t value = std::stoll(text);
    return value > limit ? -1 : static_cast<std::int32_t>(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::vector<std::int32_t> ParseDottedNumbers(const std::string& text, std::size_t count, const std::string& what) {
    std::vector<std::string> parts = Split(text, '.');
    std::vector<std::int32_t> numbers;
    for (const std::string& part : parts)
        numbers.push_back(ParseNumber(part, std::numeric_limits<std::int32_t>::max()));
    if (parts.size() != count || std::find(numbers.begin(), numbers.end(), -1) != numbers.end())
        throw TPublishError(what + " \"" + text + "\" is not " + (count == 4 ? "four" : "two") +
                            " whole numbers separated by points");
    return numbers;
}

// Product words, channels and locales become URL path segments.
void CheckSegment(const std::string& value, const std::string& what, bool lowerOnly) {
    bool ok = !value.empty() && value.size() <= 64 && value != "." && value != "..";
    for (char c : value) {
        bool letter = (c >= 'a' && c <= 'z') || (!lowerOnly && c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '_') ok = false;
    }
    if (!ok)
        throw TPublishError(what + " \"" + value + "\" must be made of " + (lowerOnly ? "lower-case " : "") +
                            "letters, digits, \"-\" and \"_\"");
}

bool IsInsideOrSame(const fs::path& candidate, const fs::path& root) {
    auto [rootEnd, candIt] = std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return rootEnd == root.end();
}

std::vector<TDocumentChange> ReadChangeLog(const fs::path& path) {
    std::vector<TDocumentChange> changes;
    if (path.empty()) return changes;
    std::string text;
    try {
        text = ReadWholeFile(path);
    } catch (const std::exception& e) {
        throw TPublishError(std::string("change log: ") + e.what());
    }
    if (!IsValidUtf8(text)) throw TPublishError("change log \"" + path.string() + "\" is not UTF-8 text");
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        changes.push_back({line, {}});
    }
    return changes;
}

// Runs body(0..count-1) on `jobs` threads; the first failure stops the others
// from taking more work and is rethrown once all have joined.
void RunParallel(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& body) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorLock;
    auto worker = [&] {
        for (;;) {
            if (failed) return;
            std::size_t index = next.fetch_add(1);
            if (index >= count) return;
            try {
                body(index);
            } catch (...) {
                std::lock_guard<std::mutex> lock(errorLock);
                if (!firstError) firstError = std::current_exception();
                failed = true;
            }
        }
    };
    unsigned threads = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(std::max<std::size_t>(count, 1))));
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    if (firstError) std::rethrow_exception(firstError);
}

std::string BaseName(const std::string& relPath) {
    std::size_t slash = relPath.rfind('/');
    return slash == std::string::npos ? relPath : relPath.substr(slash + 1);
}

// The product a file is restricted to: the most specific matching rule wins.
std::string ProductOf(const std::string& relPath, const std::vector<std::pair<std::string, std::string>>& rules) {
    std::string product;
    std::size_t bestLength = 0;
    for (const auto& [path, ruleProduct] : rules) {
        bool match = relPath == path || (relPath.size() > path.size() && relPath.compare(0, path.size(), path) == 0 &&
                                         relPath[path.size()] == '/');
        if (match && path.size() >= bestLength) {
            bestLength = path.size();
            product = ruleProduct;
        }
    }
    return product;
}

std::string NormalizeRulePath(std::string path) {
    while (path.rfind("./", 0) == 0) path.erase(0, 2);
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

std::vector<std::string> LocaleSuffixes(const TPublishRequest& request) {
    std::vector<std::string> suffixes;
    for (const std::string& locale : request.arLocales) {
        if (request.variants != TArchVariants::avX64) suffixes.push_back(locale);
        if (request.variants != TArchVariants::avPlain) suffixes.push_back(locale + "_x64");
    }
    return suffixes;
}

// A document the publish writes, with the query its URL asks.
struct TDocumentTarget {
    fs::path path;
    TDocumentAnswers answers;
};

std::vector<TDocumentTarget> DocumentTargets(const TPublishRequest& request) {
    std::vector<TDocumentTarget> targets;
    for (const std::string& from : ReleaseChannels()) {
        for (const std::string& suffix : LocaleSuffixes(request)) {
            const std::string channelPath = from + "/to/" + request.strChannel;
            targets.push_back({request.pathOut / "version" / request.strProduct / channelPath / suffix,
                               {request.strProduct, channelPath, suffix}});
        }
    }
    return targets;
}

// An unsigned document beside the signature of an earlier one would make every
// installer that checks signatures refuse the release: that tree is published
// with its key or not at all.
void RefuseUnsignedOverSigned(const TPublishRequest& request) {
    std::vector<fs::path> files{request.pathOut / kInstallerVersionFile};
    for (const TDocumentTarget& target : DocumentTargets(request)) files.push_back(target.path);
    for (const fs::path& file : files) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(SignaturePathOf(file), ec)))
            throw TPublishError("\"" + file.string() + "\" is signed; publish with --sign-key to keep the tree signed");
    }
}

struct TValidated {
    std::vector<std::int32_t> version;
    std::vector<TSourceFile> files;
    std::vector<TDocumentChange> changes;
    std::vector<std::pair<std::string, std::string>> fileProducts;
    std::vector<std::string> products;
    std::optional<TSigningKey> key;  // a signed release
};

TValidated Validate(const TPublishRequest& request) {
    TValidated v;
    v.version = ParseDottedNumbers(request.strVersion, 4, "version");
    CheckSegment(request.strProduct, "product", true);
    const auto& channels = ReleaseChannels();
    if (std::find(channels.begin(), channels.end(), request.strChannel) == channels.end())
        throw TPublishError("channel \"" + request.strChannel +
                            "\" is not one of stable, beta, staging, alpha, rarely");
    if (request.arLocales.empty()) throw TPublishError("no locale to publish");
    for (const std::string& locale : request.arLocales) CheckSegment(locale, "locale", false);
    if (!request.strInstallerVersion.empty()) ParseDottedNumbers(request.strInstallerVersion, 2, "installer version");
    if (request.pathOut.empty()) throw TPublishError("no output folder given");
    if (!IsValidUtf8(request.strVideo)) throw TPublishError("the video text is not UTF-8");

    v.files = ScanProductFolder(request.pathSource);
    for (const TSourceFile& file : v.files) {
        // The description carries package sizes as unsigned 32-bit numbers.
        if (file.nSize >= kLargestFile)
            throw TPublishError("\"" + file.strRelPath + "\" is too large: packages are limited to 4 GiB");
    }
    std::error_code ec;
    const fs::path sourceReal = fs::canonical(request.pathSource, ec);
    const fs::path outReal = fs::weakly_canonical(fs::absolute(request.pathOut), ec);
    if (IsInsideOrSame(outReal, sourceReal))
        throw TPublishError("the output folder \"" + request.pathOut.string() +
                            "\" lies inside the product folder; the next publish would ship it");

    for (const auto& [rawPath, product] : request.arFileProducts) {
        std::string path = NormalizeRulePath(rawPath);
        CheckSegment(product, "product of \"" + rawPath + "\"", true);
        bool matches = std::any_of(v.files.begin(), v.files.end(), [&](const TSourceFile& f) {
            return !ProductOf(f.strRelPath, {{path, product}}).empty();
        });
        if (path.empty() || !matches)
            throw TPublishError("\"" + rawPath + "\" (given with a product) is no file or folder of the release");
        v.fileProducts.emplace_back(path, product);
    }
    v.products = request.arProducts.empty() ? std::vector<std::string>{request.strProduct} : request.arProducts;
    for (const std::string& product : v.products) CheckSegment(product, "product", true);
    v.changes = ReadChangeLog(request.pathChangeLog);
    if (!request.pathSigningKey.empty()) {
        if (request.nExpiryDays < 1) throw TPublishError("signed documents must stay valid for at least one day");
        v.key = TSigningKey::LoadPem(request.pathSigningKey);
    } else {
        RefuseUnsignedOverSigned(request);
    }
    return v;
}

// One package to make or reuse: the files of the release with this content.
struct TPackage {
    std::string strMd5;
    const TSourceFile* source = nullptr;  // the first file with this content
    bool bPresent = false;
    std::uint64_t nSize = 0;
    std::string strSha256;  // of the package's bytes; signed releases only
};

// Packages are shared by content, but the installer names the unpacked file
// after the package's entry. Two names for one content would therefore put a
// file under the wrong name; refuse that instead of publishing it.
void CheckSharedNames(const std::vector<TSourceFile>& files, const std::vector<std::string>& md5s,
                      std::map<std::string, TPackage>& packages, const fs::path& filesDir) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto [it, inserted] = packages.try_emplace(md5s[i]);
        TPackage& package = it->second;
        if (inserted) {
            package.strMd5 = md5s[i];
            package.source = &files[i];
        } else if (BaseName(package.source->strRelPath) != BaseName(files[i].strRelPath)) {
            throw TPublishError("\"" + files[i].strRelPath + "\" has the same content as \"" +
                                package.source->strRelPath +
                                "\" under another name; both would share the package files/" + md5s[i] +
                                ", which the installer unpacks under one name only");
        }
    }
    for (auto& [md5, package] : packages) {
        const fs::path path = filesDir / md5;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec))) continue;
        std::string entryName;
        try {
            entryName = ReadFirstEntryName(path);
        } catch (const std::exception& e) {
            throw TPublishError("the existing package \"" + path.string() + "\" is unusable (" + e.what() +
                                "); remove it and publish again");
        }
        if (entryName != BaseName(package.source->strRelPath))
            throw TPublishError("\"" + package.source->strRelPath + "\" has the same content as the file \"" +
                                entryName + "\" of an earlier release, whose package files/" + md5 +
                                " the installer would unpack under that name");
        package.bPresent = true;
        package.nSize = fs::file_size(path);
    }
}

TCompressedData Compress(std::string_view data, TPackCompression compression) {
    // libarchive (3.6) fails on an LZMA entry that holds nothing; an empty file
    // gains nothing from compression anyway.
    if (data.empty()) return CompressForZip(data, ZipMethod::zmStore);
    switch (compression) {
        case TPackCompression::pcLzma:
            return CompressForZip(data, ZipMethod::zmLzma);
        case TPackCompression::pcDeflate:
            return CompressForZip(data, ZipMethod::zmDeflate);
        case TPackCompression::pcStore:
            return CompressForZip(data, ZipMethod::zmStore);
        case TPackCompression::pcAuto:
            break;
    }
    return CompressSmallest(data);
}

std::uint64_t WritePackage(const TPackage& package, const fs::path& filesDir, TPackCompression compression) {
    const TSourceFile& source = *package.source;
    std::string content = ReadWholeFile(source.pathOnDisk);
    if (Md5Hex(content) != package.strMd5)
        throw std::runtime_error("\"" + source.strRelPath + "\" changed while it was being published");
    TZipWriter writer;
    writer.Add(BaseName(source.strRelPath), Compress(content, compression), source.tModified);
    content.clear();
    std::string zip = writer.Finish();
    WriteFileAtomically(filesDir / package.strMd5, zip);
    return zip.size();
}

// Hashes the packages as they lie in the tree, reused ones included: the
// installer checks what it downloads against these.
void HashPackages(std::map<std::string, TPackage>& packages, const fs::path& filesDir, unsigned jobs) {
    std::vector<TPackage*> all;
    for (auto& [md5, package] : packages) all.push_back(&package);
    RunParallel(all.size(), jobs,
                [&](std::size_t i) { all[i]->strSha256 = FileSha256Hex(filesDir / all[i]->strMd5); });
}

TVersionDocument MakeDocument(const TValidated& v, const TPublishRequest& request,
                              const std::vector<std::string>& md5s, const std::vector<std::string>& sha256s,
                              const std::map<std::string, TPackage>& packages) {
    TVersionDocument doc;
    doc.nMajor = v.version[0];
    doc.nMinor = v.version[1];
    doc.nRelease = v.version[2];
    doc.nBuild = v.version[3];
    doc.strVideo = request.strVideo;
    doc.bIsLatest = request.bIsLatest;
    doc.bBugged = request.bBugged;
    doc.arProducts = v.products;
    doc.arChanges = v.changes;
    for (std::size_t i = 0; i < v.files.size(); ++i) {
        const TPackage& package = packages.at(md5s[i]);
        doc.arFiles.push_back({v.files[i].strRelPath, md5s[i], static_cast<std::uint32_t>(package.nSize),
                               ProductOf(v.files[i].strRelPath, v.fileProducts), sha256s[i], package.strSha256});
    }
    return doc;
}

// Writes `bytes` unless the file holds them already; a signed release signs it
// either way, so that a document is never left without its signature.
bool WriteUnlessSame(const fs::path& target, const std::string& bytes, const std::optional<TSigningKey>& key) {
    const bool changed = !FileHoldsExactly(target, bytes);
    if (changed) WriteFileAtomically(target, bytes);
    if (key) WriteSignatureOf(target, bytes, *key);
    return changed;
}

void WriteDocuments(const TPublishRequest& request, TVersionDocument doc, const std::optional<TSigningKey>& key,
                    TPublishSummary& summary) {
    doc.strExpires = summary.strExpires;
    for (const TDocumentTarget& target : DocumentTargets(request)) {
        if (key) doc.answers = target.answers;
        if (WriteUnlessSame(target.path, WriteVersionDocument(doc), key))
            ++summary.nDocumentsWritten;
        else
            ++summary.nDocumentsUnchanged;
    }
}

void WriteInstallerVersion(const TPublishRequest& request, const std::optional<TSigningKey>& key,
                           TPublishSummary& summary) {
    const fs::path target = request.pathOut / kInstallerVersionFile;
    if (!request.strInstallerVersion.empty()) {
        summary.bVersionTxtWritten = WriteUnlessSame(target, request.strInstallerVersion, key);
        return;
    }
    // An earlier publish's version.txt belongs to the tree as well: a signed tree signs it.
    std::error_code ec;
    if (key && fs::is_regular_file(target, ec)) WriteSignatureOf(target, ReadWholeFile(target), *key);
}

}  // namespace

const std::vector<std::string>& ReleaseChannels() {
    static const std::vector<std::string> channels{"stable", "beta", "staging", "alpha", "rarely"};
    return channels;
}

TPublishSummary PublishRelease(const TPublishRequest& request) {
    TValidated v = Validate(request);
    const unsigned jobs = request.nJobs > 0 ? request.nJobs : std::max(1u, std::thread::hardware_concurrency());
    const fs::path filesDir = request.pathOut / "files";

    std::vector<std::string> md5s(v.files.size());
    // A signed document also promises the SHA-256 of what the installer unpacks.
    std::vector<std::string> sha256s(v.files.size());
    RunParallel(v.files.size(), jobs, [&](std::size_t i) {
        try {
            md5s[i] = FileMd5Hex(v.files[i].pathOnDisk);
            if (v.key) sha256s[i] = FileSha256Hex(v.files[i].pathOnDisk);
        } catch (const std::exception& e) {
            throw TPublishError(e.what());
        }
    });
    std::map<std::string, TPackage> packages;
    CheckSharedNames(v.files, md5s, packages, filesDir);

    TPublishSummary summary;
    summary.nFiles = v.files.size();
    std::vector<TPackage*> toWrite;
    for (auto& [md5, package] : packages) {
        if (package.bPresent)
            ++summary.nPackagesReused;
        else
            toWrite.push_back(&package);
    }
    // Largest first, so that one big file does not start last and keep a single core busy at the end.
    std::sort(toWrite.begin(), toWrite.end(),
              [](const TPackage* a, const TPackage* b) { return a->source->nSize > b->source->nSize; });
    std::vector<char> written(toWrite.size(), 0);
    try {
        RunParallel(toWrite.size(), jobs, [&](std::size_t i) {
            toWrite[i]->nSize = WritePackage(*toWrite[i], filesDir, request.compression);
            written[i] = 1;
        });
    } catch (...) {
        // Leave no package behind that no document names.
        for (std::size_t i = 0; i < toWrite.size(); ++i) {
            std::error_code ec;
            if (written[i]) fs::remove(filesDir / toWrite[i]->strMd5, ec);
        }
        throw;
    }
    for (const TPackage* package : toWrite) {
        ++summary.nPackagesWritten;
        summary.nPackageBytesWritten += package->nSize;
    }

    if (v.key) HashPackages(packages, filesDir, jobs);
    const TVersionDocument doc = MakeDocument(v, request, md5s, sha256s, packages);
    if (v.key) summary.strExpires = ExpiryStamp(std::chrono::system_clock::now(), request.nExpiryDays);
    WriteDocuments(request, doc, v.key, summary);
    WriteInstallerVersion(request, v.key, summary);
    return summary;
}
