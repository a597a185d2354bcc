#include <gtest/gtest.h>

#include "service/VersionInfoReader.h"

namespace {

// A complete document; cases replace or drop one member at a time.
std::string Document(const std::string& replace = "", const std::string& drop = "") {
    const std::vector<std::pair<std::string, std::string>> members = {
        {"major", "5"},        {"minor", "12"},    {"release", "3"},     {"build", "4077"},
        {"video", "\"v.mp4\""}, {"is_latest", "true"}, {"bugged", "false"}, {"products", "[\"orladesk\"]"},
        {"changes", "[]"},     {"files", "[{\"file\":\"a.exe\",\"md5\":\"AB12\",\"size\":10}]"}};
    std::string json = "{";
    bool bFirst = true;
    for (const auto& [key, value] : members) {
        if (key == drop) continue;
        if (!bFirst) json += ",";
        bFirst = false;
        json += "\"" + key + "\":" + value;
    }
    if (!replace.empty()) json += (bFirst ? "" : ",") + replace;
    return json + "}";
}

struct RejectCase {
    const char* name;
    std::string json;
    const char* messagePart;  // the failure names the key
};

class VersionDocumentRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(VersionDocumentRejects, FailsNamingTheCause) {
    TVantixVersion version;
    try {
        ReadVersionDocument(GetParam().json, version);
        FAIL() << "accepted: " << GetParam().json;
    } catch (const TVersionFormatError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().messagePart), std::string::npos) << e.what();
    }
}

// Replacing a member means adding a second one after it: the first counts, so
// a wrong type has to be tested by dropping the original first.
RejectCase Missing(const char* key) { return {key, Document("", key), key}; }
RejectCase Typed(const char* name, const char* key, const std::string& value) {
    return {name, Document("\"" + std::string(key) + "\":" + value, key), key};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionDocumentRejects,
    ::testing::Values(
        Missing("major"), Missing("minor"), Missing("release"), Missing("build"), Missing("video"),
        Missing("is_latest"), Missing("bugged"), Missing("changes"), Missing("files"),
        Typed("MajorAsString", "major", "\"5\""), Typed("MajorWithFraction", "major", "5.5"),
        Typed("MajorBeyond32Bits", "major", "2147483648"), Typed("VideoAsNumber", "video", "1"),
        Typed("IsLatestAsString", "is_latest", "\"true\""), Typed("BuggedAsNumber", "bugged", "0"),
        Typed("ChangesAsObject", "changes", "{}"), Typed("FilesAsString", "files", "\"x\""),
        RejectCase{"KeyCaseMatters", Document("\"Major\":5", "major"), "major"},
        RejectCase{"NotJson", "<html>502 Bad Gateway</html>", "Invalid JSON"},
        RejectCase{"Empty", "", "Invalid JSON"},
        RejectCase{"TopLevelArray", "[" + Document() + "]", "top level"},
        RejectCase{"TrailingContent", Document() + " x", "Invalid JSON"},
        RejectCase{"SecondValue", Document() + Document(), "Invalid JSON"},
        RejectCase{"ChangeObjectWithoutProducts", Document("\"changes\":[{\"text\":\"b\"}]", "changes"),
                   "changes[0].products"},
        RejectCase{"ChangeObjectWithoutText", Document("\"changes\":[{\"products\":[]}]", "changes"),
                   "changes[0].text"},
        RejectCase{"ChangeTrue", Document("\"changes\":[\"a\",true]", "changes"), "changes[1]"},
        RejectCase{"ChangeNull", Document("\"changes\":[null]", "changes"), "changes[0]"},
        RejectCase{"ChangeArray", Document("\"changes\":[[\"a\"]]", "changes"), "changes[0]"},
        RejectCase{"ChangeProductsNotStrings",
                   Document("\"changes\":[{\"text\":\"b\",\"products\":[1]}]", "changes"),
                   "changes[0].products[0]"},
        RejectCase{"FileWithoutMd5", Document("\"files\":[{\"file\":\"a\"}]", "files"), "files[0].md5"},
        RejectCase{"FileWithoutName", Document("\"files\":[{\"md5\":\"a\"}]", "files"), "files[0].file"},
        RejectCase{"FileNotObject", Document("\"files\":[\"a\"]", "files"), "files[0]"},
        RejectCase{"InvalidUtf8", Document("\"video\":\"\xC3\x28\"", "video"), "Invalid JSON"},
        RejectCase{"LoneSurrogateEscape", Document("\"video\":\"\\udc00\"", "video"), "Invalid JSON"},
        RejectCase{"NulAfterTheValue", Document() + std::string(1, '\0') + "x", "Invalid JSON"},
        RejectCase{"DeepNesting",
                   Document("\"extra\":" + std::string(1'000'000, '[') + std::string(1'000'000, ']')),
                   "Invalid JSON"}),
    [](const ::testing::TestParamInfo<RejectCase>& info) { return std::string(info.param.name); });

TEST(VersionDocument, ReadsEveryField) {
    const std::string json = R"({
        "major": 5, "minor": 12, "release": 3, "build": 4077, "video": "https://v/x",
        "is_latest": true, "bugged": true, "products": ["orladesk", "vantix"],
        "unknown": {"ignored": [1, 2]},
        "changes": ["a", {"text": "b", "products": ["x"]}, 1.50, -7],
        "files": [
            {"file": "bin/x/app.exe", "md5": "AbCd", "size": 4294967295, "install": true, "product": "orladesk"},
            {"file": "readme.txt", "md5": "ef01"}
        ]
    })";
    TVantixVersion v;
    ReadVersionDocument(json, v);

    EXPECT_EQ(v.nMajor, 5);
    EXPECT_EQ(v.nMinor, 12);
    EXPECT_EQ(v.nRelease, 3);
    EXPECT_EQ(v.nBuild, 4077);
    EXPECT_EQ(v.strVideo, "https://v/x");
    EXPECT_TRUE(v.bIsLatest);
    EXPECT_TRUE(v.bBugVersion);
    EXPECT_EQ(v.arProducts, (std::vector<std::string>{"orladesk", "vantix"}));

    ASSERT_EQ(v.arChanges.size(), 4u);
    EXPECT_EQ(v.arChanges[0].strText, "a");
    EXPECT_TRUE(v.arChanges[0].arProducts.empty());
    EXPECT_EQ(v.arChanges[1].strText, "b");
    EXPECT_EQ(v.arChanges[1].arProducts, std::vector<std::string>{"x"});
    EXPECT_EQ(v.arChanges[2].strText, "1.50");  // as written, not as the double reads
    EXPECT_EQ(v.arChanges[3].strText, "-7");

    ASSERT_EQ(v.lstFiles.size(), 2u);
    EXPECT_EQ(v.lstFiles[0]->strFile, "bin\\x\\app.exe");
    EXPECT_EQ(v.lstFiles[0]->strMD5, "AbCd");
    EXPECT_EQ(v.lstFiles[0]->nFileSize, 4294967295u);
    EXPECT_TRUE(v.lstFiles[0]->bInstall);
    EXPECT_EQ(v.lstFiles[0]->strProduct, "orladesk");
    EXPECT_EQ(v.lstFiles[1]->strFile, "readme.txt");
    EXPECT_EQ(v.lstFiles[1]->nFileSize, 0u);
    EXPECT_FALSE(v.lstFiles[1]->bInstall);
    EXPECT_EQ(v.lstFiles[1]->strProduct, "");
}

TEST(VersionDocument, FirstOfDuplicateKeysCounts) {
    const std::string json = R"({"major": 1, "major": 9, "minor": 2, "release": 3, "build": 4,
        "video": "first", "video": "second", "is_latest": false, "bugged": false,
        "changes": ["one", 2], "changes": "not an array",
        "files": [{"file": "a", "md5": "m1", "md5": "m2", "size": 5, "size": -1}]})";
    TVantixVersion v;
    ReadVersionDocument(json, v);
    EXPECT_EQ(v.nMajor, 1);
    EXPECT_EQ(v.strVideo, "first");
    ASSERT_EQ(v.arChanges.size(), 2u);
    EXPECT_EQ(v.arChanges[1].strText, "2");
    ASSERT_EQ(v.lstFiles.size(), 1u);
    EXPECT_EQ(v.lstFiles[0]->strMD5, "m1");
    EXPECT_EQ(v.lstFiles[0]->nFileSize, 5u);
}

TEST(VersionDocument, OptionalKeysTakeTheirDefaults) {
    TVantixVersion v;
    v.arProducts = {"stale"};
    ReadVersionDocument(Document("\"files\":[]", "files") + "\n\t ", v);  // white space after the value is fine
    EXPECT_TRUE(v.lstFiles.empty());
    EXPECT_EQ(v.arProducts, std::vector<std::string>{"orladesk"});

    ReadVersionDocument(Document("", "products"), v);
    EXPECT_TRUE(v.arProducts.empty());

    ReadVersionDocument(Document("\"products\":\"x\",\"files\":[{\"file\":\"a\",\"md5\":\"m\",\"install\":1}]",
                                 "products"),
                        v);
    EXPECT_TRUE(v.arProducts.empty());
    EXPECT_FALSE(v.lstFiles.at(0)->bInstall);
}

// An unreadable optional key of a file takes its default; the file itself and
// the rest of the query stand.
TEST(VersionDocument, UnreadableOptionalFileKeysTakeTheirDefaults) {
    const std::vector<std::string> entries = {
        R"("size": -1)", R"("size": 4294967296)", R"("size": "10")", R"("size": 10.5)", R"("size": null)",
        R"("product": 1)", R"("product": ["orladesk"])", R"("product": null)", R"("size": {}, "product": {})"};
    for (const std::string& entry : entries) {
        TVantixVersion v;
        ReadVersionDocument(Document(R"("files":[{"file":"a","md5":"m",)" + entry + "}]", "files"), v);
        ASSERT_EQ(v.lstFiles.size(), 1u) << entry;
        EXPECT_EQ(v.lstFiles[0]->strFile, "a") << entry;
        EXPECT_EQ(v.lstFiles[0]->nFileSize, 0u) << entry;
        EXPECT_EQ(v.lstFiles[0]->strProduct, "") << entry;
    }
}

// Numeric change entries keep their text as written. A document with this
// many of them reads in a moment; reading the document again for each entry
// would take minutes.
TEST(VersionDocument, ManyNumericChangesKeepTheirTextAndOrder) {
    const size_t nEntries = 200'000;
    std::string changes = "[";
    for (size_t i = 0; i < nEntries; ++i) changes += (i ? ", " : "") + std::to_string(i) + ".50";
    changes += R"(, "text", -0.0 ])";
    TVantixVersion v;
    ReadVersionDocument(Document("\"changes\":" + changes, "changes"), v);
    ASSERT_EQ(v.arChanges.size(), nEntries + 2);
    for (size_t i : {size_t{0}, size_t{1}, nEntries / 2, nEntries - 1})
        EXPECT_EQ(v.arChanges[i].strText, std::to_string(i) + ".50");
    EXPECT_EQ(v.arChanges[nEntries].strText, "text");
    EXPECT_EQ(v.arChanges[nEntries + 1].strText, "-0.0");
}

// Only the entries of the first top-level "changes" list have their text kept:
// numbers inside an entry, under another key or in a later duplicate do not
// shift them.
TEST(VersionDocument, NumericChangeTextsComeFromTheListThatCounts) {
    TVantixVersion v;
    ReadVersionDocument(Document(R"("extra":{"changes":[7.0]},)"
                                 R"("changes":[{"text":"a","products":[],"n":9.5},3.25,"b",-1e2],"changes":[2.75])",
                                 "changes"),
                        v);
    ASSERT_EQ(v.arChanges.size(), 4u);
    EXPECT_EQ(v.arChanges[1].strText, "3.25");
    EXPECT_EQ(v.arChanges[2].strText, "b");
    EXPECT_EQ(v.arChanges[3].strText, "-1e2");
}

TEST(VersionDocument, SecondReadReplacesListsInsteadOfAppending) {
    TVantixVersion v;
    ReadVersionDocument(Document("\"changes\":[\"a\"]", "changes"), v);
    ReadVersionDocument(Document("\"changes\":[\"b\"]", "changes"), v);
    ASSERT_EQ(v.arChanges.size(), 1u);
    EXPECT_EQ(v.arChanges[0].strText, "b");
    EXPECT_EQ(v.lstFiles.size(), 1u);
}

TEST(VersionDocument, KeepsFieldsReadBeforeAFailure) {
    TVantixVersion v;
    EXPECT_THROW(ReadVersionDocument(Document("", "files"), v), TVersionFormatError);
    EXPECT_EQ(v.nBuild, 4077);
    EXPECT_EQ(v.strVideo, "v.mp4");
}

}  // namespace
