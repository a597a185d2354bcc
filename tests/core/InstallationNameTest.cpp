#include <gtest/gtest.h>

#include <string>

#include "base/InstallationName.h"

namespace {

struct NameCase {
    std::string name;
    bool safe;
};

class InstallationNameTable : public ::testing::TestWithParam<NameCase> {};

TEST_P(InstallationNameTable, OnlyNamesThatStayOneFolderUnderTheCompanyFolderPass) {
    EXPECT_EQ(IsSafeInstallationName(GetParam().name), GetParam().safe) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallationNameTable,
                         ::testing::Values(NameCase{"desk", true}, NameCase{"", true}, NameCase{"a.b", true},
                                           NameCase{"..a", true}, NameCase{"Mesa-2_ção", true}, NameCase{".", false},
                                           NameCase{"..", false}, NameCase{"x/..", false}, NameCase{"x/../..", false},
                                           NameCase{"x\\..", false}, NameCase{"/st", false}, NameCase{"a\\b", false},
                                           NameCase{"x.", false}, NameCase{"a\tb", false}, NameCase{"a\r\nb", false},
                                           NameCase{std::string("a\0b", 3), false}, NameCase{"a\x7f", false},
                                           NameCase{"c:", false}, NameCase{"a*", false}, NameCase{"a?", false},
                                           NameCase{"a|b", false}, NameCase{"<a>", false}, NameCase{"\"a\"", false}));

}  // namespace
