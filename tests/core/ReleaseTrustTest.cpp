// The pieces a signed release is checked with: the signature scheme against
// its published test vectors, the key list, and what a verified document must
// still satisfy.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Edition.h"
#include "platform/Ed25519.h"
#include "platform/Sha256Digest.h"
#include "service/Base64.h"
#include "service/ReleaseKeys.h"
#include "service/ReleaseRefusal.h"
#include "service/SignedRelease.h"
#include "support/ScopedEnv.h"

namespace {

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

TEd25519PublicKey KeyFromHex(std::string_view hex) {
    const std::string bytes = FromHex(hex);
    TEd25519PublicKey key{};
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

// RFC 8032, section 7.1, tests 1 to 3.
struct TVector {
    const char* szPublicKey;
    const char* szMessage;
    const char* szSignature;
};
const TVector kRfc8032[] = {
    {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe"
     "24655141438e7a100b"},
    {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302a"
     "eeb00d291612bb0c00"},
    {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed2"
     "8dc027beceea1ec40a"},
};

TEST(Ed25519, PublishedVectorsVerifyAndAnyChangeFails) {
    for (const TVector& v : kRfc8032) {
        SCOPED_TRACE(v.szMessage);
        const TEd25519PublicKey key = KeyFromHex(v.szPublicKey);
        const std::string message = FromHex(v.szMessage);
        const std::string signature = FromHex(v.szSignature);
        EXPECT_TRUE(VerifyEd25519(key, message, signature));
        EXPECT_FALSE(VerifyEd25519(key, message + "x", signature)) << "a longer message";
        for (size_t byte : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {
            std::string changed = signature;
            changed[byte] = static_cast<char>(changed[byte] ^ 0x01);
            EXPECT_FALSE(VerifyEd25519(key, message, changed)) << "signature byte " << byte;
        }
        EXPECT_FALSE(VerifyEd25519(key, message, signature.substr(0, 63)));
        EXPECT_FALSE(VerifyEd25519(key, message, signature + '\0'));
        EXPECT_FALSE(VerifyEd25519(
            KeyFromHex(kRfc8032[0].szPublicKey == v.szPublicKey ? kRfc8032[1].szPublicKey : kRfc8032[0].szPublicKey),
            message, signature))
            << "another key";
    }
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    TSha256Digest digest;
    digest.Update("a", 1);
    digest.Update("bc", 2);
    EXPECT_EQ(digest.HexLower(), Sha256Hex("abc"));
}

TEST(Base64, RoundTripsAndRefusesWhatIsNotCanonical) {
    for (const std::string bytes : {"", "f", "fo", "foo", "foob", "fooba", "foobar"})
        EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes);
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    for (const char* text : {"Zm8", "Zm8=\n", "Zm9=", "Zg=a", "Z===", "Zm8*", "Zg==Zg==", " Zm8="})
        EXPECT_EQ(Base64Decode(text), std::nullopt) << text;
}

// Published keys and signatures stand in for generated ones, so that the key
// list is checked on every system, signing tool or not.
TEST(ReleaseKeys, ListsAndWhatTheyEnforce) {
    const TVector& signer = kRfc8032[2];
    const std::string first = Base64Encode(FromHex(signer.szPublicKey));
    const std::string second = Base64Encode(FromHex(kRfc8032[1].szPublicKey));
    const std::string content = FromHex(signer.szMessage);
    const std::string signatureFile = Base64Encode(FromHex(signer.szSignature)) + "\n";
    struct TCase {
        std::string strList;
        bool bEnforced;
        bool bFirstVerifies;
        size_t nUnusable;
    };
    const std::vector<TCase> cases{
        {"", false, false, 0},
        {" \t", false, false, 0},
        {first, true, true, 0},
        {second + " , " + first, true, true, 0},  // a rotation
        {second, true, false, 0},
        {"not a key", true, false, 1},  // never "no key at all"
        {",", true, false, 0},
        {"AAAA," + first, true, true, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.strList);
        const TReleaseKeys keys(c.strList);
        EXPECT_EQ(keys.Enforced(), c.bEnforced);
        EXPECT_EQ(keys.Unusable().size(), c.nUnusable);
        EXPECT_EQ(keys.Verifies(content, signatureFile), c.bFirstVerifies);
    }
    const TReleaseKeys keys(first);
    EXPECT_TRUE(keys.Verifies(content, "  " + Base64Encode(FromHex(signer.szSignature)) + "\r\n"));
    EXPECT_FALSE(keys.Verifies(content + "\n", signatureFile));
    EXPECT_FALSE(keys.Verifies(content, ""));
    EXPECT_FALSE(keys.Verifies(content, "!" + signatureFile));
}

TEST(ReleaseKeys, TheEnvironmentReplacesTheBuildsListButBlankLeavesIt) {
    TScopedEnv env;
    for (const char* blank : {"", " ", "\t\n"}) {
        env.Set("ORLADESK_RELEASE_PUBLIC_KEYS", blank);
        EXPECT_EQ(edition::strReleasePublicKeys(), edition::defaultReleasePublicKeys) << "\"" << blank << "\"";
    }
    env.Set("ORLADESK_RELEASE_PUBLIC_KEYS", "staging-key");
    EXPECT_EQ(edition::strReleasePublicKeys(), "staging-key");
}

// ---- what a verified document must still satisfy ----

using namespace std::chrono_literals;

const std::string kHash(64, 'a');

class SignedReleaseCheck : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset() {
        m_Version = TVantixVersion{};
        m_Version.nMajor = 1;
        m_Version.nMinor = 2;
        m_Version.nRelease = 3;
        m_Version.nBuild = 4;
        m_Version.Answers = {"orladesk", "alpha/to/stable", "pt-br_x64"};
        m_Version.strExpires = "2026-12-31T12:00:00Z";
        auto file = std::make_unique<TVantixVersionFile>();
        file->strFile = "bin\\app.dll";
        file->strSha256 = kHash;
        file->strPackageSha256 = kHash;
        m_Version.lstFiles.push_back(std::move(file));
        m_Check.Expected = {"orladesk", "alpha/to/stable", "pt-br_x64"};
        m_Check.strInstalledVersion = "1.2.3.4";
    }
    // The reason the check gives, "" when it passes.
    std::string Reason(std::chrono::system_clock::time_point now) const {
        try {
            CheckSignedRelease(m_Version, m_Check, now);
            return "";
        } catch (const TReleaseRefused& e) {
            return e.Reason();
        }
    }
    static std::chrono::system_clock::time_point At(const char* text) { return *ParseUtcTime(text); }

    TVantixVersion m_Version;
    TReleaseCheck m_Check;
};

TEST_F(SignedReleaseCheck, EachFaultGivesItsReason) {
    const auto now = At("2026-12-11T00:00:00Z");
    struct TCase {
        const char* szName;
        std::function<void(TVantixVersion&, TReleaseCheck&)> change;
        const char* szReason;
    };
    const std::vector<TCase> cases{
        {"as published", [](TVantixVersion&, TReleaseCheck&) {}, ""},
        {"another locale", [](TVantixVersion& v, TReleaseCheck&) { v.Answers.strLocale = "pt-br"; },
         refusal::kAnotherQuery},
        {"another channel", [](TVantixVersion& v, TReleaseCheck&) { v.Answers.strChannel = "alpha/to/beta"; },
         refusal::kAnotherQuery},
        {"another product", [](TVantixVersion& v, TReleaseCheck&) { v.Answers.strProduct = "other"; },
         refusal::kAnotherQuery},
        {"says nothing it answers", [](TVantixVersion& v, TReleaseCheck&) { v.Answers = {}; }, refusal::kAnotherQuery},
        {"expired", [](TVantixVersion& v, TReleaseCheck&) { v.strExpires = "2026-12-10T23:50:00Z"; },
         refusal::kExpired},
        {"no expiry", [](TVantixVersion& v, TReleaseCheck&) { v.strExpires = ""; }, refusal::kExpired},
        {"expiry in another form", [](TVantixVersion& v, TReleaseCheck&) { v.strExpires = "2026-12-31 12:00:00"; },
         refusal::kExpired},
        {"within the clock skew", [](TVantixVersion& v, TReleaseCheck&) { v.strExpires = "2026-12-10T23:56:00Z"; }, ""},
        {"older build", [](TVantixVersion&, TReleaseCheck& c) { c.strInstalledVersion = "1.2.3.5"; },
         refusal::kOlderThanInstalled},
        {"older major", [](TVantixVersion&, TReleaseCheck& c) { c.strInstalledVersion = "2.0.0.0"; },
         refusal::kOlderThanInstalled},
        {"newer", [](TVantixVersion&, TReleaseCheck& c) { c.strInstalledVersion = "1.1.65535.65535"; }, ""},
        {"new installation", [](TVantixVersion&, TReleaseCheck& c) { c.strInstalledVersion = ""; }, ""},
        {"no package hash", [](TVantixVersion& v, TReleaseCheck&) { v.lstFiles[0]->strPackageSha256 = ""; },
         refusal::kPackageHash},
        {"no file hash", [](TVantixVersion& v, TReleaseCheck&) { v.lstFiles[0]->strSha256 = ""; }, refusal::kFileHash},
        {"upper-case hash", [](TVantixVersion& v, TReleaseCheck&) { v.lstFiles[0]->strSha256 = std::string(64, 'A'); },
         refusal::kFileHash},
        {"short hash", [](TVantixVersion& v, TReleaseCheck&) { v.lstFiles[0]->strSha256 = kHash.substr(1); },
         refusal::kFileHash},
    };
    for (const TCase& c : cases) {
        Reset();
        c.change(m_Version, m_Check);
        EXPECT_EQ(Reason(now), c.szReason) << c.szName;
    }
}

TEST(ParseUtcTime, OnlyTheOneFormAndRealDates) {
    const auto t = ParseUtcTime("2027-01-10T03:04:05Z");
    ASSERT_TRUE(t);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(t->time_since_epoch()).count(), 1799550245);
    for (const char* text :
         {"2027-02-29T00:00:00Z", "2027-01-10T24:00:00Z", "2027-01-10T03:04:05", "2027-01-10T03:04:05+00:00",
          "2027-1-10T03:04:05Z", "2027-01-10t03:04:05Z", "2027-01-10T03:04:05.5Z", ""})
        EXPECT_FALSE(ParseUtcTime(text)) << text;
    EXPECT_TRUE(ParseUtcTime("2028-02-29T23:59:59Z"));
}

}  // namespace
