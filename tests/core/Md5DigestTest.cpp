// The digest fed piece by piece agrees with the digest of the whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/Md5Digest.h"

TEST(Md5Digest, PiecesGiveTheDigestOfTheWhole) {
    struct Case {
        std::string strData;
        size_t nPiece;
        const char* szExpected;
    };
    const Case cases[] = {
        {"", 1, "D41D8CD98F00B204E9800998ECF8427E"},
        {"abc", 1, "900150983CD24FB0D6963F7D28E17F72"},
        {"The quick brown fox jumps over the lazy dog", 7, "9E107D9D372BB6826BD81D3542A419D6"},
        // Pieces that straddle the 64-byte blocks in every way.
        {std::string(1000000, 'a'), 4097, "7707D6AE4E027C70EEA2A935C2296F21"},
    };
    for (const auto& c : cases) {
        TMd5Digest digest;
        for (size_t at = 0; at < c.strData.size(); at += c.nPiece)
            digest.Update(c.strData.data() + at, std::min(c.nPiece, c.strData.size() - at));
        EXPECT_EQ(digest.HexUpper(), c.szExpected) << c.strData.substr(0, 50);
    }
}
