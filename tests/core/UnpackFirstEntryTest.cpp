// The digest taken while unpacking agrees with reading the unpacked file back,
// and a stopped or refused file leaves the folder as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "release/ZipWriter.h"
#include "support/TempDir.h"
#include "workers/FileHashing.h"
#include "workers/PackageUnpacker.h"

TEST(UnpackFirstEntry, HashesWhatItWrites) {
    std::string data;
    // Larger than the unpacking buffer, so the digest spans several writes.
    for (int i = 0; data.size() < 700 * 1024; ++i) data += "line " + std::to_string(i * 7919 % 100003) + "\n";
    for (auto method : {ZipMethod::zmStore, ZipMethod::zmDeflate, ZipMethod::zmLzma}) {
        TempDir dir;
        ZipEntry entry;
        entry.strName = "bin/app.dll";
        entry.strData = data;
        const TUnpackedFile unpacked = UnpackFirstEntry(MakeZip({entry}, method), dir.path());
        EXPECT_EQ(unpacked.path, dir.path() / "bin" / "app.dll");
        EXPECT_EQ(unpacked.strMd5, GetFileMD5(unpacked.path));
    }
}

// A stop asked for while a file is unpacked ends the unpacking at the next
// block, on the small-file path and the two-thread path alike, and leaves no
// temporary file and an installed file as it was.
TEST(UnpackFirstEntry, StopsAtTheNextBlockAndLeavesNothing) {
    for (size_t size : {size_t(700) << 10, size_t(6) << 20}) {
        for (auto method : {ZipMethod::zmStore, ZipMethod::zmDeflate, ZipMethod::zmLzma}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, method " + std::to_string(int(method)));
            TempDir dir;
            WriteFileText(dir / "app.exe", "installed");
            ZipEntry entry;
            entry.strName = "app.exe";
            entry.strData = std::string(size, 'v');
            int nChecks = 0;
            TUnpackOptions options;
            options.fnStopped = [&] { return ++nChecks > 2; };
            EXPECT_THROW(UnpackFirstEntry(MakeZip({entry}, method), dir.path(), kMaxUnpackedSize,
                                          TUnpackDurability::eFlushEachFile, options),
                         EUnpackStopped);
            EXPECT_EQ(nChecks, 3);
            EXPECT_EQ(ReadFileText(dir / "app.exe"), "installed");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
        }
    }
}

TEST(UnpackFirstEntry, ForACallerThatFlushesWritesTheSameFile) {
    TempDir dir;
    ZipEntry entry;
    entry.strName = "app.exe";
    entry.strData = "MZ unpacked without a flush of its own";
    const TUnpackedFile unpacked =
        UnpackFirstEntry(MakeZip({entry}, ZipMethod::zmDeflate), dir.path(), kMaxUnpackedSize,
                         TUnpackDurability::eCallerFlushes);
    EXPECT_EQ(ReadFileText(unpacked.path), entry.strData);
    EXPECT_EQ(unpacked.strMd5, GetFileMD5(unpacked.path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
}

// A refused file must leave the folder as it was: an installed file of that
// name keeps its bytes, a new one is never created, no temporary file stays.
TEST(UnpackFirstEntry, RefusedFileIsNeverPlaced) {
    struct Case {
        const char* szWhat;
        bool bInstalled;
    };
    const Case cases[] = {{"update over an installed file", true}, {"new installation", false}};
    for (const auto& c : cases) {
        TempDir dir;
        const std::filesystem::path installed = dir.path() / "app.exe";
        const std::string good = "MZ the user's good file";
        if (c.bInstalled) WriteFileText(installed, good);
        ZipEntry entry;
        entry.strName = "app.exe";
        entry.strData = "MZ wrong content";
        std::string seenMd5;
        TUnpackOptions options;
        options.fnAccept = [&](const TUnpackedFile&, const std::filesystem::path& part) {
            seenMd5 = GetFileMD5(part);
            return false;
        };
        const TUnpackedFile unpacked = UnpackFirstEntry(MakeZip({entry}, ZipMethod::zmDeflate), dir.path(),
                                                        kMaxUnpackedSize, TUnpackDurability::eFlushEachFile, options);
        EXPECT_FALSE(unpacked.bPlaced) << c.szWhat;
        EXPECT_EQ(seenMd5, unpacked.strMd5) << c.szWhat << ": the check sees the whole temporary file";
        EXPECT_EQ(std::filesystem::exists(installed), c.bInstalled) << c.szWhat;
        if (c.bInstalled) EXPECT_EQ(ReadFileText(installed), good) << c.szWhat;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), c.bInstalled ? 1 : 0)
            << c.szWhat << ": no temporary file left";
    }
}
