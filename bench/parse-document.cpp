// Times ReadVersionDocument on the largest version document the installer
// takes (kMaxVersionDocumentSize), written by the release tool's writer: a
// signed release of many files and a long change log. Not part of the tests;
// built with -DVX_BENCH=ON and run by hand:
//   build/bin/vx_bench_parse_document [RUNS]
// Its median is of runs in one process, whose memory the first run has
// already drawn from the system; run it with RUNS=1 a few times for that cost.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "release/VersionDocument.h"
#include "service/VantixVersion.h"
#include "service/VersionClient.h"
#include "service/VersionInfoReader.h"

namespace {

std::string Hex(size_t seed, size_t digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < digits; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        out.push_back(kDigits[(seed >> 59) & 15]);
    }
    return out;
}

TDocumentFile File(size_t index) {
    TDocumentFile file;
    file.strFile = "bin/plugins/módulo" + std::to_string(index % 97) + "/componente" + std::to_string(index) + ".dll";
    file.strMd5 = Hex(index, 32);
    file.nSize = static_cast<uint32_t>(1000 + index * 7919 % 5'000'000);
    if (index % 5 == 0) file.strProduct = "orladeskpro";
    file.strSha256 = Hex(index + 1, 64);
    file.strPackageSha256 = Hex(index + 2, 64);
    return file;
}

TVersionDocument Release(size_t nFiles) {
    TVersionDocument doc;
    doc.nMajor = 1;
    doc.nMinor = 81;
    doc.nBuild = 4077;
    doc.strVideo = "https://download.orladesk.invalid/video/1.81.mp4";
    doc.bIsLatest = true;
    doc.arProducts = {"orladesk", "orladeskpro"};
    doc.answers = TDocumentAnswers{"orladesk", "alpha/to/stable", "pt-br_x64"};
    doc.strExpires = "2027-01-01T00:00:00Z";
    for (size_t i = 0; i < 2000; ++i) {
        TDocumentChange change{"Correção nº " + std::to_string(i) + " no gráfico \"intraday\"", {}};
        if (i % 3 == 0) change.arProducts = {"orladeskpro"};
        doc.arChanges.push_back(change);
    }
    for (size_t i = 0; i < nFiles; ++i) doc.arFiles.push_back(File(i));
    return doc;
}

// As many files as fit under the size limit.
std::string LargestDocument() {
    const size_t nEmpty = WriteVersionDocument(Release(0)).size();
    const size_t nPerFile = (WriteVersionDocument(Release(1000)).size() - nEmpty) / 1000;
    size_t nFiles = (kMaxVersionDocumentSize - nEmpty) / nPerFile;
    std::string json = WriteVersionDocument(Release(nFiles));
    while (json.size() > kMaxVersionDocumentSize) json = WriteVersionDocument(Release(nFiles -= 50));
    return json;
}

double MillisecondsToRead(const std::string& json) {
    const auto start = std::chrono::steady_clock::now();
    TVantixVersion version;
    ReadVersionDocument(json, version);
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    if (version.lstFiles.empty()) std::abort();
    return elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string json = LargestDocument();
    std::vector<double> times;
    for (int i = 0; i < nRuns; ++i) times.push_back(MillisecondsToRead(json));
    // The installer reads one document per process: the first run, on memory
    // fresh from the system, is the one it sees.
    const double first = times.front();
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%zu bytes, %d runs: median %.1f ms (%.0f MiB/s), first %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
                json.size(), nRuns, median, json.size() / 1048576.0 / (median / 1000), first, times.front(),
                times.back());
    return 0;
}
