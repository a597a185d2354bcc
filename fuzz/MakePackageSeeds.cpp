// Writes the seed packages of the extraction fuzzer with the release tool's own
// zip writer: what the installer really downloads (one entry, stored, Deflate
// or LZMA), plus names and layouts that only an older or foreign tool would
// write (sub-folders, accents, several entries, a folder first).
//   fuzz_make_package_seeds OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "release/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

struct TSeed {
    std::string strFile;
    std::vector<ZipEntry> arEntries;
};

std::string BinaryLike() {
    std::string data;
    for (unsigned i = 0; i < 600; ++i) data.push_back(static_cast<char>((i * 37 + i / 7) & 0xff));
    return data;
}

std::string TextLike() {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "[Cotacao]\r\nAtivo=PETR4\r\nIntervalo=" + std::to_string(i) + "\r\n";
    return text;
}

std::vector<TSeed> Seeds() {
    const std::string accented = "configura\xC3\xA7\xC3\xA3o da r\xC3\xA9gua.ini";
    return {
        {"exe", {{"vantixchart.exe", BinaryLike()}}},
        {"text", {{"vantix.ini", TextLike()}}},
        {"empty", {{"empty.dat", ""}}},
        {"nested", {{"bin/plugins/chart.dll", BinaryLike()}}},
        {"backslash-nested", {{"dados\\historico\\petr4.db", TextLike()}}},
        {"accented", {{accented, "pre\xC3\xA7o=1\n"}}},
        {"two-entries", {{"first.txt", "one"}, {"second/x.txt", TextLike()}}},
        {"folder-first", {{"folder/", ""}, {"folder/app.exe", "x"}}},
    };
}

std::string Package(const TSeed& seed, ZipMethod method) {
    TZipWriter writer;
    for (const ZipEntry& entry : seed.arEntries)
        writer.Add(entry.strName, CompressForZip(entry.strData, entry.strData.empty() ? ZipMethod::zmStore : method));
    return writer.Finish();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_package_seeds OUTPUT_FOLDER\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);
    for (const TSeed& seed : Seeds())
        for (ZipMethod method : {ZipMethod::zmStore, ZipMethod::zmDeflate, ZipMethod::zmLzma}) {
            // Empty entries are always stored, so the other methods repeat that seed.
            if (seed.strFile == "empty" && method != ZipMethod::zmStore) continue;
            const fs::path file = out / (seed.strFile + "-" + std::string(ZipMethodName(method)) + ".zip");
            std::ofstream(file, std::ios::binary) << Package(seed, method);
        }
    return 0;
}
