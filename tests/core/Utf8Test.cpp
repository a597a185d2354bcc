#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"

namespace {

TEST(Utf8, TakesEveryLengthOfSequence) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII, longer than eight bytes"));
    EXPECT_TRUE(IsValidUtf8("Correção \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"));
}

// Each refused sequence is tried where the eight-byte step reaches it and
// where it does not.
TEST(Utf8, RefusesWhatIsNotUtf8) {
    const std::string bad[] = {
        "\x80",              // continuation without a lead
        "\xC3\x28",          // lead without its continuation
        "\xE2\x82",          // cut short at the end
        "\xC0\xAF",          // overlong
        "\xED\xA0\x80",      // surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xF8\x88\x80\x80\x80",
    };
    for (const std::string& sequence : bad) {
        EXPECT_FALSE(IsValidUtf8(sequence)) << sequence;
        EXPECT_FALSE(IsValidUtf8("12345678" + sequence + "12345678")) << sequence;
        EXPECT_FALSE(IsValidUtf8("123" + sequence)) << sequence;
    }
}

}  // namespace
