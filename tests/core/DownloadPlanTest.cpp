#include <gtest/gtest.h>

#include "engine/DownloadPlan.h"

namespace {

TVantixVersion Release(std::vector<std::tuple<std::string, uint32_t, std::string>> files) {
    TVantixVersion v;
    v.nMajor = 1, v.nMinor = 2, v.nRelease = 3, v.nBuild = 4;
    int n = 0;
    for (auto& [path, size, product] : files) {
        auto f = std::make_unique<TVantixVersionFile>();
        f->strFile = path;
        f->nFileSize = size;
        f->strProduct = product;
        f->strMD5 = "md5" + std::to_string(n++);
        v.lstFiles.push_back(std::move(f));
    }
    return v;
}

TEST(DownloadPlan, RecordsForThisProductSortedAscending) {
    auto v = Release({{"a.exe", 100, ""}, {"bin\\x\\c.bin", 300, "orladesk"}, {"b.dat", 200, ""},
                      {"other.dll", 999, "otherproduct"}});
    auto plan = BuildDownloadPlan(v, "orladesk", "http://srv");
    ASSERT_EQ(plan.lstRecords.size(), 3u);
    EXPECT_EQ(plan.lstRecords[0]->nDownloadSize, 100);
    EXPECT_EQ(plan.lstRecords[1]->nDownloadSize, 200);
    EXPECT_EQ(plan.lstRecords[2]->nDownloadSize, 300);
    const auto& last = *plan.lstRecords[2];
    EXPECT_EQ(last.strFileUrl, "http://srv/files/md51");
    EXPECT_EQ(last.strFileMd5, "md51");
    EXPECT_EQ(last.strFilePath, "bin\\x\\");
    EXPECT_EQ(last.strFileName, "c.bin");
    EXPECT_EQ(last.nRetries, 0u);
    EXPECT_FALSE(last.Stream);
    EXPECT_EQ(plan.lstRecords[0]->strFilePath, "");
    EXPECT_EQ(plan.nDownloadSize, 600u);
}

TEST(DownloadPlan, KeepListHoldsTopLevelDllsOfEveryProductInAnyLetterCase) {
    auto v = Release({{"a.dll", 1, ""}, {"other.dll", 1, "otherproduct"}, {"sub\\s.dll", 1, ""},
                      {"UPPER.DLL", 1, ""}, {"x.exe", 1, ""}, {"dll", 1, ""}});
    auto plan = BuildDownloadPlan(v, "orladesk", "http://srv");
    EXPECT_EQ(plan.lstKeepDlls, (std::vector<std::string>{"a.dll", "other.dll", "UPPER.DLL"}));
}

TEST(DownloadPlan, ProgressTotalsUseTheSinglePrecisionWeight) {
    std::vector<std::tuple<std::string, uint32_t, std::string>> files;
    for (int i = 0; i < 10; ++i) files.emplace_back("f" + std::to_string(i), 100'000, "");
    auto plan = BuildDownloadPlan(Release(files), "orladesk", "http://srv");
    EXPECT_EQ(plan.nDownloadSize, 1'000'000u);
    EXPECT_EQ(plan.nProgressSize, 1'200'000u);
    EXPECT_EQ(plan.nFileExtractedProgress, 20'000u);
}

TEST(DownloadPlan, SizesBeyondFourGigabytesAreCounted) {
    auto plan = BuildDownloadPlan(Release({{"a", 4'000'000'000u, ""}, {"b", 4'000'000'000u, ""}}), "orladesk", "");
    EXPECT_EQ(plan.nDownloadSize, 8'000'000'000u);
    EXPECT_GT(plan.nProgressSize, plan.nDownloadSize);
}

TEST(DownloadPlan, ReleaseWithoutFilesForThisProductHasNoShare) {
    auto plan = BuildDownloadPlan(Release({{"x.dll", 5, "otherproduct"}}), "orladesk", "http://srv");
    EXPECT_TRUE(plan.lstRecords.empty());
    EXPECT_EQ(plan.nFileExtractedProgress, 0u);
    EXPECT_EQ(plan.nProgressSize, 0u);
}

TEST(DownloadPlan, PackageBudgetIsTwiceTheLargestPackageAndNeverTiny) {
    constexpr uint64_t kMin = TDownloadPlan::kMinPackageBudget;
    const struct {
        std::vector<std::tuple<std::string, uint32_t, std::string>> files;
        uint64_t nExpected;
    } cases[] = {
        {{}, kMin},
        {{{"a.txt", 300, ""}, {"b.txt", 16000, ""}}, kMin},
        {{{"a.exe", 100u << 20, ""}, {"b.dat", 30u << 20, ""}}, 200ull << 20},
        // Another edition's package is never downloaded, so it does not count.
        {{{"a.exe", 10u << 20, ""}, {"other.exe", 900u << 20, "otherproduct"}}, 20ull << 20},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildDownloadPlan(Release(c.files), "orladesk", "http://srv").nPackageBudget,
                  std::max(kMin, c.nExpected));
}

TEST(DownloadPlan, DottedVersion) { EXPECT_EQ(DottedVersion(Release({})), "1.2.3.4"); }

}  // namespace
