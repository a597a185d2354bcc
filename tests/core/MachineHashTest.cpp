#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/MachineHash.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) text += {kHex[b >> 4], kHex[b & 0x0F]};
    return text;
}

std::string Digest(const std::string& input, size_t count) {
    TMachineHash hash;
    MachineHashInit(hash);
    MachineHashUpdate(hash, input);
    return Hex(MachineHashFinal(hash, count));
}

std::string Counting(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(i % 256);
    return s;
}

struct TDigestCase {
    std::string strInput;
    size_t nCount;
    std::string strExpected;
};

}  // namespace

TEST(MachineHash, ReferenceDigests) {
    const TDigestCase cases[] = {
        {"", 4, "CA7CFA8F"},
        {"abc", 4, "FC3DEB53"},
        {"abc", 8, "FC3DEB53705C8FD2"},
        // Exactly one input block: the pad then fills a whole block of its own.
        {"abcdefgh", 8, "DACDB8E745877E5B"},
        {std::string(1, '\0'), 8, "E03AE2C19E4EBE4C"},
        // More than 256 bytes: the buffer position wraps around.
        {Counting(300), 8, "CC096A33927940DE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Digest(c.strInput, c.nCount), c.strExpected) << "input of " << c.strInput.size() << " bytes";
}

TEST(MachineHash, StartsFromPiAndFiftyFives) {
    TMachineHash hash;
    MachineHashInit(hash);
    const std::vector<uint8_t> head(hash.Buffer.begin(), hash.Buffer.begin() + 16);
    EXPECT_EQ(Hex(head), "243F6A8885A308D313198A2E03707344");
    // Blowfish's P-array runs into its first S-box at byte 72.
    EXPECT_EQ(Hex({hash.Buffer.begin() + 72, hash.Buffer.begin() + 76}), "D1310BA6");
    for (uint32_t word : hash.State) EXPECT_EQ(word, 0x55555555u);
    EXPECT_EQ(hash.nPos, 0);
    EXPECT_EQ(hash.nBlockPos, 0);
}

TEST(MachineHash, PiecewiseUpdatesEqualOneUpdate) {
    const std::string input = Counting(300);
    const std::string whole = Digest(input, 16);
    for (size_t split : {1u, 7u, 8u, 9u, 255u, 256u, 299u}) {
        TMachineHash hash;
        MachineHashInit(hash);
        MachineHashUpdate(hash, std::string_view(input).substr(0, split));
        MachineHashUpdate(hash, std::string_view(input).substr(split));
        EXPECT_EQ(Hex(MachineHashFinal(hash, 16)), whole) << "split at " << split;
    }
}

TEST(MachineHash, UpdateTracksBufferAndBlockPositions) {
    TMachineHash hash;
    MachineHashInit(hash);
    MachineHashUpdate(hash, std::string("abc"));
    EXPECT_EQ(hash.nPos, 3);
    EXPECT_EQ(hash.nBlockPos, 3);
    EXPECT_EQ(hash.Buffer[0], 0x24 ^ 'a');
    // The input block is State's first bytes, little-endian.
    EXPECT_EQ(hash.State[0], 0x55555555u ^ (uint32_t('a') | uint32_t('b') << 8 | uint32_t('c') << 16));
}

TEST(MachineHash, FinalGivesAtMostTheWholeBuffer) {
    TMachineHash hash;
    MachineHashInit(hash);
    auto all = MachineHashFinal(hash, 1000);
    EXPECT_EQ(all.size(), 256u);
    EXPECT_EQ(Hex({all.begin(), all.begin() + 4}), "CA7CFA8F");
    MachineHashInit(hash);
    EXPECT_EQ(MachineHashFinal(hash, 1).size(), 1u);
}
