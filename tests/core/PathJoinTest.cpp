#include <stdexcept>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/PathJoin.h"

namespace {

struct TJoinCase {
    std::string strInput;
    const char* szExpected;  // nullptr: refused
};

class PathJoinCases : public testing::TestWithParam<TJoinCase> {};

const TJoinCase kCases[] = {
    {"a\\b\\c.dll", "a/b/c.dll"},
    {"sub/app.exe", "sub/app.exe"},
    {"a\\\\b", "a/b"},
    {"a\\.\\b\\", "a/b"},
    {"mixed/sep\\file.txt", "mixed/sep/file.txt"},
    {"Program Files\\Orla Desk\\a b.txt", "Program Files/Orla Desk/a b.txt"},
    {"dados\\cotação\\ñandú.db", "dados/cotação/ñandú.db"},
    {"...\\x", ".../x"},
    {"a..b\\c", "a..b/c"},
    {"", ""},
    {".", ""},
    {"..\\x", nullptr},
    {"..", nullptr},
    {"a\\..\\..\\b", nullptr},
    {"a\\..\\b", nullptr},
    {"a/../b", nullptr},
    {"x\\..", nullptr},
    {"/etc/passwd", nullptr},
    {"\\Windows\\x", nullptr},
    {"\\\\server\\share\\x", nullptr},
    {"C:\\x", nullptr},
    {"c:x", nullptr},
    {"file.txt:stream", nullptr},
    {"a<b", nullptr},
    {"a>b", nullptr},
    {"a\"b", nullptr},
    {"a|b", nullptr},
    {"a?b", nullptr},
    {"a*b", nullptr},
    {"tab\there", nullptr},
    {"line\nbreak", nullptr},
    {std::string("nul\0byte", 8), nullptr},
    {std::string("a\\\0\\..\\..\\etc", 12), nullptr},
};

TEST_P(PathJoinCases, ConvertsOrRefuses) {
    const TJoinCase& c = GetParam();
    if (c.szExpected) {
        // The expected names are UTF-8, as release names are, on every system.
        const std::string_view expectedText = c.szExpected;
        const std::filesystem::path expected(std::u8string(expectedText.begin(), expectedText.end()));
        EXPECT_EQ(ToNativeRelative(c.strInput), expected);
        const std::filesystem::path base = "/srv/target";
        const std::filesystem::path joined = JoinPath(base, c.strInput);
        EXPECT_EQ(joined, expectedText.empty() ? base : base / expected);
    } else {
        try {
            JoinPath("/srv/target", c.strInput);
            ADD_FAILURE() << "accepted " << c.strInput;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Invalid characters in path");
        }
        EXPECT_THROW(ToNativeRelative(c.strInput), std::runtime_error);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PathJoinCases, testing::ValuesIn(kCases));

// Whatever is accepted stays inside the base: no component of the result
// climbs out, and the result starts with the base.
TEST(PathJoin, AcceptedPathsNeverLeaveTheBase) {
    const std::filesystem::path base = "/srv/target";
    for (const auto& c : kCases) {
        if (!c.szExpected) continue;
        const auto joined = JoinPath(base, c.strInput).lexically_normal();
        const auto rel = joined.lexically_relative(base);
        EXPECT_FALSE(rel.empty()) << c.strInput;
        EXPECT_NE(*rel.begin(), "..") << c.strInput;
    }
}

}  // namespace
