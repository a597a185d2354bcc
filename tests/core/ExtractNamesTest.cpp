// Packages as the release tool writes them, with every compression method and
// file names outside ASCII, unpack under their own names.
#include <gtest/gtest.h>

#include "release/ZipWriter.h"
#include "support/TempDir.h"
#include "workers/PackageUnpacker.h"

TEST(ExtractNames, PublishedPackagesWithAccentedNamesUnpack) {
    const std::string name = "configura\xC3\xA7\xC3\xA3o da r\xC3\xA9gua.ini";
    for (auto method : {ZipMethod::zmStore, ZipMethod::zmDeflate, ZipMethod::zmLzma}) {
        TempDir dir;
        ZipEntry entry;
        entry.strName = name;
        entry.strData = "pre\xC3\xA7o=1\n";
        auto path = ExtractFirstEntry(MakeZip({entry}, method), dir.path());
        EXPECT_EQ(path.filename().string(), name);
        EXPECT_EQ(ReadFileText(path), entry.strData);
    }
}
