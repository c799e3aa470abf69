// SPDX-License-Identifier: MIT
// Known answers for the generator and the file transform. Encrypted files carry no header or
// check, so a change to either that still round-trips would silently make every file written
// before it unreadable; fixed outputs catch that where round trips cannot.
//
// Origin of every expected value below: computed once by ReferenceCipher.h, the textbook
// implementation written apart from the engine (plain loops, primes by trial division, gcd by
// Euclid), and matched at that time by the engine's optimised transform and by its portable
// one (the build option CALYXOR_PORTABLE_TRANSFORM). Each vector is checked here against the
// reference as well, so neither side can drift from it unnoticed.
#include "cipher/BlockFile.h"
#include "cipher/FileTransform.h"
#include "cipher/core/Cipher.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

std::string ToHex(const TBytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

// FNV-1a, 64 bits: stands for outputs too long to write out.
std::string Digest(const TBytes& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// Byte n is n * 7 + 1: 300 bytes, of which only the first 255 may count.
TBytes LongKey(std::size_t length) {
    TBytes key(length);
    for (std::size_t n = 0; n < length; ++n)
        key[n] = static_cast<uint8_t>(n * 7 + 1);
    return key;
}

const TBytes kOneByteKey{0x5A};
const TBytes kKey255 = LongKey(255);
const TBytes kKey300 = LongKey(300);
// «Пароль» in CP1251, the bytes a Cyrillic key typed in the window becomes.
const TBytes kCyrillicKey{0xCF, 0xE0, 0xF0, 0xEE, 0xEB, 0xFC};

const TBytes kText{'H', 'e', 'l', 'l', 'o', ',', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'};

// Two whole blocks of the file reader and 7 bytes more, so the state crosses two block
// boundaries. Byte k is k * 131 + k / 256.
TBytes TwoBlocks() {
    TBytes data(2 * BlockSize + 7);
    for (std::size_t k = 0; k < data.size(); ++k)
        data[k] = static_cast<uint8_t>(k * 131 + k / 256);
    return data;
}

enum class EDirection { Encrypt, Decrypt };

struct TTransformVector {
    const char* Name;
    const TBytes* Key;
    TBytes Input;
    EDirection Direction;
    // The output in hex, or its Digest when the input is the two blocks.
    std::string Expected;
};

std::string Answer(const TTransformVector& v, const TBytes& output) {
    return v.Input.size() > 64 ? Digest(output) : ToHex(output);
}

void PrintTo(const TTransformVector& v, std::ostream* os) {
    *os << v.Name;
}

class TransformKnownAnswer : public ::testing::TestWithParam<TTransformVector> {
protected:
    void SetUp() override { BuildPrimeTable(); }

    // The product's buffer loop, given the input in two pieces split at `split`.
    static TBytes RunBuffers(const TTransformVector& v, std::size_t split) {
        TTransformState state;
        TransformInit(state, *v.Key);
        TBytes out(v.Input.size());
        auto run = v.Direction == EDirection::Encrypt ? EncryptBuffer : DecryptBuffer;
        run(state, v.Input.data(), out.data(), split);
        run(state, v.Input.data() + split, out.data() + split, v.Input.size() - split);
        return out;
    }
};

TEST_P(TransformKnownAnswer, ReferenceBuffersAndFilesAllGiveTheRecordedOutput) {
    const TTransformVector& v = GetParam();
    const bool encrypt = v.Direction == EDirection::Encrypt;
    EXPECT_EQ(Answer(v, ref::transform(*v.Key, v.Input, encrypt)), v.Expected) << "reference";

    // Whole, and cut where the next piece starts mid-stream.
    EXPECT_EQ(Answer(v, RunBuffers(v, v.Input.size())), v.Expected) << "one buffer";
    EXPECT_EQ(Answer(v, RunBuffers(v, v.Input.size() / 3)), v.Expected) << "two buffers";

    // And through the file operations, block by block. An empty source is refused there before
    // any key is set up, so empty input is the buffers' case alone.
    if (v.Input.empty())
        return;
    TTempDir dir;
    WriteAll(dir / "in", v.Input);
    const TTransformResult done =
        encrypt ? EncryptFileCore(dir / "in", dir / "out", *v.Key, {}, nullptr, nullptr)
                : DecryptFileCore(dir / "in", dir / "out", *v.Key, nullptr, nullptr);
    ASSERT_TRUE(done);
    EXPECT_EQ(Answer(v, ReadAll(dir / "out")), v.Expected) << "file";
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, TransformKnownAnswer,
    ::testing::Values(
        TTransformVector{"OneByteKeyEmptyEncrypt", &kOneByteKey, {}, EDirection::Encrypt, ""},
        TTransformVector{"OneByteKeyEmptyDecrypt", &kOneByteKey, {}, EDirection::Decrypt, ""},
        // The first mask byte depends on the starting feed and chain only, whichever the
        // direction.
        TTransformVector{
            "OneByteKeyOneByteEncrypt", &kOneByteKey, {0x41}, EDirection::Encrypt, "bd"},
        TTransformVector{
            "OneByteKeyOneByteDecrypt", &kOneByteKey, {0x41}, EDirection::Decrypt, "bd"},
        TTransformVector{"Key255TextEncrypt", &kKey255, kText, EDirection::Encrypt,
                         "b85d03feac91a8e33d234214457a"},
        // The same answer as the 255-byte key: bytes past the 255th are not part of the key.
        TTransformVector{"Key300TextEncrypt", &kKey300, kText, EDirection::Encrypt,
                         "b85d03feac91a8e33d234214457a"},
        TTransformVector{"Key255TextDecrypt", &kKey255, kText, EDirection::Decrypt,
                         "b8e501ebd4acec29c9c19890e830"},
        TTransformVector{"CyrillicKeyTextEncrypt", &kCyrillicKey, kText, EDirection::Encrypt,
                         "941dbc00b750b8e7845372bc097e"},
        TTransformVector{"CyrillicKeyTextDecrypt", &kCyrillicKey, kText, EDirection::Decrypt,
                         "948054e7b81c632df9d90772ff16"},
        TTransformVector{"CyrillicKeyTwoBlocksEncrypt", &kCyrillicKey, TwoBlocks(),
                         EDirection::Encrypt, "176073ba1d924ef6"},
        TTransformVector{"CyrillicKeyTwoBlocksDecrypt", &kCyrillicKey, TwoBlocks(),
                         EDirection::Decrypt, "ef5e4d4bc02d5d9b"},
        TTransformVector{"Key255TwoBlocksEncrypt", &kKey255, TwoBlocks(), EDirection::Encrypt,
                         "981efbd22dba3e16"},
        TTransformVector{"Key300TwoBlocksEncrypt", &kKey300, TwoBlocks(), EDirection::Encrypt,
                         "981efbd22dba3e16"},
        TTransformVector{"OneByteKeyTwoBlocksDecrypt", &kOneByteKey, TwoBlocks(),
                         EDirection::Decrypt, "1cf14918952da40d"}),
    [](const auto& vector) { return std::string(vector.param.Name); });

// The generator alone: 16 bytes for a fixed feed rule, from a freshly set-up state.
struct TGeneratorVector {
    const char* Name;
    const TBytes* Key;
    uint8_t (*Feed)(int step);
    std::string Expected;
};

void PrintTo(const TGeneratorVector& v, std::ostream* os) {
    *os << v.Name;
}

class GeneratorKnownAnswer : public ::testing::TestWithParam<TGeneratorVector> {};

TEST_P(GeneratorKnownAnswer, ReferenceAndEngineGiveTheRecordedBytes) {
    const TGeneratorVector& v = GetParam();
    TCipherState state{};
    CipherInit(state, MakeCipherKey(*v.Key));
    ref::Generator reference(*v.Key);
    TBytes engine;
    TBytes plain;
    for (int step = 0; step < 16; ++step) {
        engine.push_back(CipherNext(state, v.Feed(step)));
        plain.push_back(reference.next(v.Feed(step)));
    }
    EXPECT_EQ(ToHex(plain), v.Expected) << "reference";
    EXPECT_EQ(ToHex(engine), v.Expected) << "engine";
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, GeneratorKnownAnswer,
    ::testing::Values(
        // A feed of 1 walks the permutation in order, as plain RC4's output step does.
        TGeneratorVector{"OneByteKeyFeedOne", &kOneByteKey, [](int) -> uint8_t { return 1; },
                         "d0d63f80758dd98dc2f128fa20c85d1f"},
        // A feed of 0 never moves the walking index.
        TGeneratorVector{"CyrillicKeyFeedZero", &kCyrillicKey, [](int) -> uint8_t { return 0; },
                         "8e3e29a77d4074dae4d2c07df551f697"},
        TGeneratorVector{"Key255VaryingFeed", &kKey255,
                         [](int step) { return static_cast<uint8_t>(step * 29 + 3); },
                         "66cff1b4a365783d641f6513b8d97703"}),
    [](const auto& vector) { return std::string(vector.param.Name); });

} // namespace
