// SPDX-License-Identifier: MIT
#include "cipher/core/Cipher.h"
#include "errors/Errors.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

std::vector<uint8_t> Key(const std::vector<uint8_t>& bytes) {
    const TSecretBytes key = MakeCipherKey(bytes);
    return {key.data(), key.data() + key.size()};
}

class CipherTest : public ::testing::Test {
protected:
    void SetUp() override { BuildPrimeTable(); }
};

TEST_F(CipherTest, expandKey_derivesEachEntryFromTheOneJustMade) {
    TCipherState st{};
    const auto key = Key({3, 5, 7});
    ExpandKey(st, key);
    // k0 k1 k2, k0+k2, k1+(k0+k2), k2+(k1+k0+k2)
    EXPECT_EQ(st.KeyTable[0], 3);
    EXPECT_EQ(st.KeyTable[3], 10);
    EXPECT_EQ(st.KeyTable[4], 15);
    EXPECT_EQ(st.KeyTable[5], 22);
    for (int n = 3; n < 256; ++n)
        EXPECT_EQ(st.KeyTable[n], static_cast<uint8_t>(st.KeyTable[n - 3] + st.KeyTable[n - 1]));
}

TEST_F(CipherTest, expandKey_oneByteKeyDoublesUntilZero) {
    TCipherState st{};
    ExpandKey(st, Key({0x03}));
    for (int n = 0; n < 256; ++n)
        EXPECT_EQ(st.KeyTable[n], static_cast<uint8_t>(n < 8 ? (3u << n) : 0)) << n;
}

TEST_F(CipherTest, expandKey_255ByteKeyDerivesOnlyTheLastEntry) {
    auto bytes = RandomBytes(255, 7);
    TCipherState st{};
    ExpandKey(st, Key(bytes));
    for (int n = 0; n < 255; ++n)
        EXPECT_EQ(st.KeyTable[n], bytes[n]);
    EXPECT_EQ(st.KeyTable[255], static_cast<uint8_t>(bytes[0] + bytes[254]));
}

TEST_F(CipherTest, generator_agreesWithPlainImplementation) {
    for (std::size_t len : {1u, 2u, 17u, 255u, 300u}) {
        const auto keyText = RandomBytes(len, static_cast<uint32_t>(len));
        const auto feeds = RandomBytes(5000, 99);
        TCipherState st{};
        CipherInit(st, Key(keyText));
        ref::Generator g(keyText);
        for (uint8_t f : feeds)
            ASSERT_EQ(CipherNext(st, f), g.next(f)) << "key length " << len;
    }
}

TEST_F(CipherTest, generator_sameKeyAndFeedGiveSameBytes_feedZeroKeepsWalkingIndex) {
    TCipherState a{}, b{};
    CipherInit(a, Key({'k', 'e', 'y'}));
    CipherInit(b, Key({'k', 'e', 'y'}));
    EXPECT_EQ(a.IndexI, 0);
    for (int n = 0; n < 100; ++n)
        EXPECT_EQ(CipherNext(a, static_cast<uint8_t>(n)), CipherNext(b, static_cast<uint8_t>(n)));
    const uint8_t i = a.IndexI, j = a.IndexJ;
    const auto perm = a.Perm;
    CipherNext(a, 0);
    EXPECT_EQ(a.IndexI, i);
    EXPECT_EQ(a.IndexJ, static_cast<uint8_t>(j + perm[i]));
}

TEST_F(CipherTest, generator_permutationStaysAPermutation) {
    TCipherState st{};
    CipherInit(st, Key(RandomBytes(40, 3)));
    for (uint8_t f : RandomBytes(10000, 4))
        CipherNext(st, f);
    auto sorted = st.Perm;
    std::sort(sorted.begin(), sorted.end());
    for (int n = 0; n < 256; ++n)
        ASSERT_EQ(sorted[n], n);
}

TEST_F(CipherTest, wipe_setsEveryByteTo255) {
    TCipherState st{};
    CipherInit(st, Key({1, 2, 3}));
    CipherNext(st, 1);
    CipherWipe(st);
    const auto* p = reinterpret_cast<const uint8_t*>(&st);
    for (std::size_t n = 0; n < sizeof st; ++n)
        ASSERT_EQ(p[n], 0xFF);
}

TEST_F(CipherTest, primes_are54From2To251) {
    int count = 0;
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsPrime(static_cast<uint8_t>(b)), ref::prime(b)) << b;
        count += IsPrime(static_cast<uint8_t>(b));
    }
    EXPECT_EQ(count, 54);
    EXPECT_FALSE(IsPrime(0));
    EXPECT_FALSE(IsPrime(1));
    EXPECT_TRUE(IsPrime(2));
    EXPECT_TRUE(IsPrime(251));
    EXPECT_FALSE(IsPrime(255));
    EXPECT_FALSE(PrimeTable[256]);
}

TEST_F(CipherTest, byteGcd_matchesEuclidOnEveryPair) {
    EXPECT_EQ(ByteGcd(0, 0), 0);
    EXPECT_EQ(ByteGcd(0, 12), 12);
    EXPECT_EQ(ByteGcd(12, 0), 12);
    EXPECT_EQ(ByteGcd(12, 18), 6);
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            ASSERT_EQ(ByteGcd(static_cast<uint8_t>(a), static_cast<uint8_t>(b)), std::gcd(a, b));
}

TEST_F(CipherTest, key_emptyIsRefused_longIsCutTo255) {
    EXPECT_THROW((void)MakeCipherKey({}), Exception);
    const auto text = RandomBytes(300, 1);
    const auto k = Key(text);
    ASSERT_EQ(k.size(), 256u);
    EXPECT_EQ(k[0], 255);
    EXPECT_EQ(Key(std::vector<uint8_t>(text.begin(), text.begin() + 255)), k);
}

} // namespace
