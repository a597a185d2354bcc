#include "engine/DownloadPlan.h"

#include <algorithm>

#include "engine/LibraryName.h"

namespace {

// The share of the progress total reserved for unpacking, as the single-precision
// value the progress figures have always used (0.200000003 when widened).
constexpr float kExtractionWeight = 0.2f;

PFileToDownload MakeRecord(const TVantixVersionFile& file, const std::string& serverUrl, bool bCheckHashes) {
    auto record = std::make_unique<TFileToDownload>();
    record->strFileUrl = serverUrl + "/files/" + file.strMD5;
    record->nDownloadSize = file.nFileSize;
    record->strFileMd5 = file.strMD5;
    size_t slash = file.strFile.find_last_of('\\');
    record->strFilePath = slash == std::string::npos ? "" : file.strFile.substr(0, slash + 1);
    record->strFileName = slash == std::string::npos ? file.strFile : file.strFile.substr(slash + 1);
    if (bCheckHashes) {
        record->strPackageSha256 = file.strPackageSha256;
        record->strFileSha256 = file.strSha256;
    }
    return record;
}

bool IsTopLevelDll(const std::string& file) { return IsLibraryFileName(file) && file.find('\\') == std::string::npos; }

}  // namespace

TDownloadPlan BuildDownloadPlan(const TVantixVersion& version, const std::string& productCode,
                                const std::string& serverUrl, bool bCheckHashes) {
    TDownloadPlan plan;
    for (const auto& file : version.lstFiles) {
        if (file->strProduct.empty() || file->strProduct == productCode) {
            plan.lstRecords.push_back(MakeRecord(*file, serverUrl, bCheckHashes));
            plan.nDownloadSize += file->nFileSize;
        }
        if (IsTopLevelDll(file->strFile)) plan.lstKeepDlls.push_back(file->strFile);
    }
    for (const auto& record : plan.lstRecords)
        plan.nPackageBudget =
            std::max(plan.nPackageBudget, 2 * static_cast<uint64_t>(std::max<int64_t>(record->nDownloadSize, 0)));
    const double weight = kExtractionWeight;
    plan.nProgressSize = static_cast<uint64_t>(plan.nDownloadSize * (1 + weight));
    if (!plan.lstRecords.empty())
        plan.nFileExtractedProgress = static_cast<uint64_t>(plan.nDownloadSize * weight / plan.lstRecords.size());
    std::stable_sort(plan.lstRecords.begin(), plan.lstRecords.end(),
                     [](const PFileToDownload& a, const PFileToDownload& b) {
                         return a->nDownloadSize < b->nDownloadSize;
                     });
    return plan;
}

std::string DottedVersion(const TVantixVersion& version) {
    return std::to_string(version.nMajor) + "." + std::to_string(version.nMinor) + "." +
           std::to_string(version.nRelease) + "." + std::to_string(version.nBuild);
}
