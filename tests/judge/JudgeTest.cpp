// SPDX-License-Identifier: MIT
// The wrong-key judgement on what users decrypt: the right key's result is a file and must
// pass, a wrong key's is near noise and must not; the modules' table alone and the programs'
// table with libmagic must agree.

#include "cipher/core/Cipher.h"
#include "cipher/core/Transform.h"
#include "judge/MagicKinds.h"
#include "judge/core/Judgement.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Transform(const std::vector<uint8_t>& in, std::string_view key, bool encrypt) {
    BuildPrimeTable();
    std::vector<uint8_t> out(in.size());
    TTransformState state;
    TransformInit(state, std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    (encrypt ? EncryptBuffer : DecryptBuffer)(state, in.data(), out.data(), in.size());
    return out;
}

// What decrypting with wrongKey gives for a file encrypted with "Secret1".
std::vector<uint8_t> WrongKeyResult(const std::vector<uint8_t>& plain,
                                    std::string_view wrongKey = "Secrte1") {
    return Transform(Transform(plain, "Secret1", true), wrongKey, false);
}

// windowBits 31: a gzip file; 15: a bare zlib stream, as git keeps its objects.
std::vector<uint8_t> Deflated(const std::vector<uint8_t>& in, int windowBits) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, in.size()) + 32);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<uint8_t> Prefix(const std::string& path) {
    auto bytes = ReadAll(path);
    if (bytes.size() > JudgedPrefix)
        bytes.resize(JudgedPrefix);
    return bytes;
}

} // namespace

TEST(JudgeTest, rightKeysPass_wrongKeysAreNoticed_smallAndNoisyNamesSayNothing) {
    const auto text = DocumentBytes(20000, 1);
    // Half of it is a text whose compression has a body of noise behind its header.
    const auto gzip = Deflated(RandomBytes(3000, 2), 31);
    struct TCase {
        const char* What;
        std::string Name;
        std::vector<uint8_t> Bytes;
        TKeyVerdict Alone;        // the modules' table
        TKeyVerdict WithLibmagic; // the programs'
    };
    const auto R = TKeyVerdict::LooksRight, W = TKeyVerdict::LooksWrong,
               N = TKeyVerdict::CannotTell;
    const TCase cases[] = {
        {"text", "notes.txt", text, R, R},
        {"text, wrong key", "notes.txt", WrongKeyResult(text), W, W},
        {"this program", "prog", Prefix("/proc/self/exe"), R, R},
        {"this program, wrong key", "prog", WrongKeyResult(Prefix("/proc/self/exe")), W, W},
        // Runs of one byte leave structure in a wrong key's result: still far from a file.
        {"zeros, wrong key", "disk.img", WrongKeyResult(std::vector<uint8_t>(65536, 0)), W, W},
        {"gzip", "data.gz", Deflated(text, 31), R, R},
        {"gzip of noise", "data.gz", gzip, R, R},
        {"gzip, wrong key", "data.gz", WrongKeyResult(gzip), W, W},
        // zlib's mark is two bytes: only a stream that inflates speaks for it.
        {"bare zlib stream", "object", Deflated(RandomBytes(3000, 3), 15), W, R},
        {"random content", "random.bin", RandomBytes(65536, 4), W, W},
        {"random under 64 bytes", "random.bin", RandomBytes(40, 5), N, N},
        {"noise named as a PDF", "report.pdf", RandomBytes(40, 6), W, W},
        {"text named as a PDF", "report.pdf", DocumentBytes(40, 7), N, N},
        {"a Calyxor file inside", "inner.doc.ash", RandomBytes(65536, 8), N, N},
        {"under 16 bytes", "report.pdf", RandomBytes(15, 9), N, N},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(JudgeDecrypted(c.Bytes, c.Name), c.Alone);
        EXPECT_EQ(JudgeDecrypted(c.Bytes, c.Name, &TMagicKinds::Shared()), c.WithLibmagic);
    }
}

// The files a Debian system carries, of every kind it has: documents, compressed manuals,
// libraries, programs, fonts, translations, pictures. None may look wrong with the right key,
// every one of 256 bytes or more must with a wrong key, and the modules' table must judge each
// as the programs' does.
TEST(JudgeTest, filesOfTheSystem_rightKeyNeverWrong_wrongKeyAlwaysNoticed_modulesAgree) {
    std::vector<std::string> files;
    for (const char* root : {"/usr/share/doc", "/usr/lib/x86_64-linux-gnu", "/usr/share/fonts",
                             "/usr/share/locale", "/usr/share/icons", "/usr/bin", "/etc"}) {
        std::error_code ec;
        int taken = 0;
        for (auto it = fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator() && taken < 120; it.increment(ec)) {
            if (ec)
                break;
            if (it->is_regular_file(ec) && !it->is_symlink(ec) && it->file_size(ec) > 0) {
                files.push_back(it->path());
                ++taken;
            }
        }
    }
    ASSERT_GT(files.size(), 300u);
    int judged = 0;
    for (const std::string& path : files) {
        const auto plain = Prefix(path);
        if (plain.empty())
            continue;
        SCOPED_TRACE(path);
        const std::string name = fs::path(path).filename();
        const auto wrong = WrongKeyResult(plain);
        const TKeyVerdict right = JudgeDecrypted(plain, name, &TMagicKinds::Shared());
        EXPECT_NE(right, TKeyVerdict::LooksWrong);
        EXPECT_EQ(JudgeDecrypted(plain, name), right);
        const TKeyVerdict noticed = JudgeDecrypted(wrong, name, &TMagicKinds::Shared());
        EXPECT_EQ(JudgeDecrypted(wrong, name), noticed);
        if (ReadAll(path).size() >= 256) {
            EXPECT_EQ(noticed, TKeyVerdict::LooksWrong);
        }
        ++judged;
    }
    EXPECT_GT(judged, 300);
}
