// SPDX-License-Identifier: MIT
#include "cipher/FileTransform.h"
#include "cipher/BlockFile.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

class FileTransformTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TNoticeRecorder Recorder;
    TProgressRecorder Progress;
    const std::vector<uint8_t> KeyText = Bytes("correct horse");

    TTransformResult Encrypt(const std::string& src, const std::string& dst,
                             const std::optional<TModulePrefix>& module = std::nullopt) {
        return EncryptFileCore(src, dst, KeyText, module ? &*module : nullptr, &Progress,
                               &Recorder);
    }
};

TEST_F(FileTransformTest, buffers_agreeWithPlainImplementation_forEveryKeyLength) {
    const auto data = RandomBytes(100000, 11);
    for (std::size_t len : {1u, 2u, 255u, 300u}) {
        const auto key = RandomBytes(len, static_cast<uint32_t>(len) + 50);
        TTransformState st;
        TransformInit(st, key);
        std::vector<uint8_t> enc(data.size());
        // Uneven pieces: the state must carry over between calls.
        EncryptBuffer(st, data.data(), enc.data(), 1);
        EncryptBuffer(st, data.data() + 1, enc.data() + 1, 7000);
        EncryptBuffer(st, data.data() + 7001, enc.data() + 7001, data.size() - 7001);
        ASSERT_EQ(enc, ref::transform(key, data, true)) << "key length " << len;

        TTransformState back;
        TransformInit(back, key);
        std::vector<uint8_t> dec(data.size());
        DecryptBuffer(back, enc.data(), dec.data(), enc.size());
        ASSERT_EQ(dec, data);
        ASSERT_EQ(ref::transform(key, enc, false), data);
    }
}

TEST_F(FileTransformTest, buffers_bothDirectionsCarryStateAcrossUnevenInPlacePieces) {
    const auto data = RandomBytes(50000, 21);
    const auto key = RandomBytes(13, 22);
    const auto cipher = ref::transform(key, data, true);
    const std::size_t pieces[] = {0, 1, 0, 2, 255, 256, 257, 1000, 10240};
    for (bool encrypt : {true, false}) {
        auto buf = encrypt ? data : cipher;
        TTransformState st;
        TransformInit(st, key);
        for (std::size_t pos = 0, k = 0; pos < buf.size(); ++k) {
            const auto n = std::min(pieces[k % std::size(pieces)], buf.size() - pos);
            (encrypt ? EncryptBuffer : DecryptBuffer)(st, buf.data() + pos, buf.data() + pos, n);
            pos += n;
        }
        EXPECT_EQ(buf, encrypt ? cipher : data);
        EXPECT_EQ(st.Feed, data.back());
        EXPECT_EQ(st.Chain, cipher.back());
    }
}

TEST_F(FileTransformTest, buffers_300CharacterKeyActsAsItsFirst255) {
    const auto key = RandomBytes(300, 8);
    const std::vector<uint8_t> cut(key.begin(), key.begin() + 255);
    const auto data = RandomBytes(4096, 9);
    TTransformState a, b;
    TransformInit(a, key);
    TransformInit(b, cut);
    std::vector<uint8_t> x(data.size()), y(data.size());
    EncryptBuffer(a, data.data(), x.data(), data.size());
    EncryptBuffer(b, data.data(), y.data(), data.size());
    EXPECT_EQ(x, y);
}

TEST_F(FileTransformTest, buffers_zeroBytesGiveTwiceTheGeneratorByteUnlessPrime) {
    // After a plain 0 the generator is fed 0 and gcd(0, G) = G: the mask is 2G unless G is
    // prime. Checked against the plain implementation on a run of zeros.
    const std::vector<uint8_t> zeros(2000, 0);
    TTransformState st;
    TransformInit(st, KeyText);
    std::vector<uint8_t> out(zeros.size());
    EncryptBuffer(st, zeros.data(), out.data(), zeros.size());
    EXPECT_EQ(out, ref::transform(KeyText, zeros, true));
}

TEST_F(FileTransformTest, file_roundTripGivesTheSourceBack_wrongKeyGivesOtherBytes) {
    const auto data = RandomBytes(3 * BlockSize + 123, 21);
    WriteAll(Dir / "a.bin", data);
    ASSERT_TRUE(Encrypt(Dir / "a.bin", Dir / "a.bin.ash"));
    const auto enc = ReadAll(Dir / "a.bin.ash");
    EXPECT_EQ(enc, ref::transform(KeyText, data, true));

    ASSERT_TRUE(DecryptFileCore(Dir / "a.bin.ash", Dir / "back", KeyText, &Progress, nullptr));
    EXPECT_EQ(ReadAll(Dir / "back"), data);

    ASSERT_TRUE(
        DecryptFileCore(Dir / "a.bin.ash", Dir / "wrong", Bytes("wrong key"), nullptr, nullptr));
    const auto wrong = ReadAll(Dir / "wrong");
    EXPECT_EQ(wrong.size(), data.size());
    EXPECT_NE(wrong, data);
    EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(FileTransformTest, progress_isWrittenAfterByte0AndEveryBlock_then0) {
    const std::pair<std::size_t, std::vector<std::string>> cases[] = {
        {1, {"min 0", "max 1", "pos 0", "pos 0"}},
        {10240, {"min 0", "max 10240", "pos 0", "pos 0"}},
        {10241, {"min 0", "max 10241", "pos 0", "pos 10240", "pos 0"}},
        {20481, {"min 0", "max 20481", "pos 0", "pos 10240", "pos 20480", "pos 0"}},
    };
    for (const auto& [size, expected] : cases) {
        WriteAll(Dir / "p", RandomBytes(size, 1));
        Progress.Calls.clear();
        ASSERT_TRUE(Encrypt(Dir / "p", Dir / "p.ash"));
        EXPECT_EQ(Progress.Calls, expected) << size;
        Progress.Calls.clear();
        ASSERT_TRUE(DecryptFileCore(Dir / "p.ash", Dir / "q", KeyText, &Progress, nullptr));
        EXPECT_EQ(Progress.Calls, expected) << size;
    }
}

TEST_F(FileTransformTest, progress_largeSizesAreScaledInto32Bits) {
    EXPECT_EQ(ProgressShift(0), 0);
    EXPECT_EQ(ProgressShift(INT32_MAX), 0);
    EXPECT_EQ(ProgressShift(int64_t{INT32_MAX} + 1), 1);
    EXPECT_EQ(ProgressShift(int64_t{5} << 30), 2);
    EXPECT_LE((int64_t{5} << 30) >> ProgressShift(int64_t{5} << 30), INT32_MAX);
}

TEST_F(FileTransformTest, sfx_moduleBytesThenTheEncryptedFile) {
    const auto module = RandomBytes(5000, 31);
    const auto data = RandomBytes(BlockSize + 10, 32);
    WriteAll(Dir / "m.sfx", module);
    WriteAll(Dir / "s", data);
    ASSERT_TRUE(Encrypt(Dir / "s", Dir / "plain.ash"));
    for (int32_t size : {5000, 0, 1234}) {
        ASSERT_TRUE(Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{Dir / "m.sfx", size}));
        const auto out = ReadAll(Dir / "s.exe");
        ASSERT_EQ(out.size(), static_cast<size_t>(size) + data.size());
        EXPECT_TRUE(std::equal(module.begin(), module.begin() + size, out.begin()));
        EXPECT_TRUE(std::equal(out.begin() + size, out.end(), ReadAll(Dir / "plain.ash").begin()));
    }
}

TEST_F(FileTransformTest, sfx_grownModuleContributesOnlyItsRecordedSize) {
    WriteAll(Dir / "m.sfx", RandomBytes(9000, 33)); // grew from 3000 since it was chosen
    WriteAll(Dir / "s", RandomBytes(100, 34));
    ASSERT_TRUE(Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{Dir / "m.sfx", 3000}));
    EXPECT_EQ(fs::file_size(Dir / "s.exe"), 3100u);
}

// No empty file takes the target's place: it would pass for a result, and would destroy a good
// file of that name.
TEST_F(FileTransformTest, sfx_noModuleEndsTheRunUnwritten_theTargetStaysAsItWas) {
    WriteAll(Dir / "s", RandomBytes(100, 35));
    EXPECT_EQ(Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{"", 0}).End, TTransformEnd::NoModule);
    // What to tell the user is the caller's: the engine has nothing to say about it.
    EXPECT_TRUE(Recorder.Messages.empty());
    EXPECT_FALSE(fs::exists(Dir / "s.exe"));
    EXPECT_EQ(Progress.Calls.back(), "pos 0");
    WriteAll(Dir / "s.exe", {1, 2, 3});
    EXPECT_EQ(Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{"", 0}).End, TTransformEnd::NoModule);
    EXPECT_EQ(ReadAll(Dir / "s.exe"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(FileTransformTest, sfx_shrunkModuleIsNeverReadPastItsEnd) {
    WriteAll(Dir / "m.sfx", RandomBytes(100, 36));
    const auto data = RandomBytes(100, 37);
    WriteAll(Dir / "s", data);
    EXPECT_THROW((void)Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{Dir / "m.sfx", 5000}),
                 Exception);
    EXPECT_EQ(ReadAll(Dir / "s"), data);
}

TEST_F(FileTransformTest, sfx_unreadableModuleIsToldThenRaises) {
    WriteAll(Dir / "s", RandomBytes(100, 38));
    EXPECT_THROW((void)Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{Dir / "gone.sfx", 10}),
                 EInOutError);
    EXPECT_EQ(Recorder.Messages,
              std::vector<std::string>{"! Can't open input file " + (Dir / "gone.sfx")});
    EXPECT_EQ(Recorder.Paths, std::vector<std::string>{Dir / "gone.sfx"});
    EXPECT_FALSE(fs::exists(Dir / "s.exe"));
}

// A FIFO chosen as the module used to block the encryption for ever. A watchdog ends the test
// program should it block again.
TEST_F(FileTransformTest, sfx_moduleThatIsNotAFileIsRefusedWithoutBlocking) {
    WriteAll(Dir / "s", RandomBytes(100, 39));
    ASSERT_EQ(::mkfifo((Dir / "fifo.sfx").c_str(), 0600), 0);
    fs::create_directory(Dir / "folder.sfx");
    ::alarm(60);
    for (const std::string& module :
         {Dir / "fifo.sfx", Dir / "folder.sfx", std::string("/dev/zero")}) {
        try {
            (void)Encrypt(Dir / "s", Dir / "s.exe", TModulePrefix{module, 10});
            ADD_FAILURE() << module << " was taken as a module";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find("not a regular file"), std::string::npos) << e.Message();
        }
        EXPECT_FALSE(fs::exists(Dir / "s.exe")) << module;
    }
    ::alarm(0);
}

TEST_F(FileTransformTest, errors_missingOrEmptySourceCreateNoTarget) {
    auto expectMessage = [&](const std::string& src, const std::string& message) {
        try {
            (void)Encrypt(src, Dir / "t");
            FAIL() << src;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_FALSE(fs::exists(Dir / "t"));
        EXPECT_THROW((void)DecryptFileCore(src, Dir / "t", KeyText, nullptr, nullptr), Exception);
        EXPECT_FALSE(fs::exists(Dir / "t"));
    };
    expectMessage(Dir / "missing", "File does not exist.");
    expectMessage(Dir.Path, "File does not exist."); // a folder is not a file
    WriteAll(Dir / "empty", {});
    expectMessage(Dir / "empty", "Failed to create file mapping.");
    EXPECT_TRUE(Progress.Calls.empty());
}

TEST_F(FileTransformTest, errors_keyThatCannotWorkIsRefusedBeforeAnyFileIsCreated) {
    WriteAll(Dir / "s", RandomBytes(10, 40));
    EXPECT_THROW((void)EncryptFileCore(Dir / "s", Dir / "t", {}, {}, nullptr, nullptr), Exception);
    EXPECT_FALSE(fs::exists(Dir / "t"));
}

TEST_F(FileTransformTest, errors_unopenableTargetIsToldThenRaises) {
    WriteAll(Dir / "s", RandomBytes(10, 41));
    const std::string target = Dir / "no/folder/t";
    EXPECT_THROW((void)Encrypt(Dir / "s", target), EInOutError);
    EXPECT_EQ(Recorder.Messages, std::vector<std::string>{"! Can't open input file " + target});
    EXPECT_EQ(Recorder.Paths, std::vector<std::string>{target});
}

TEST_F(FileTransformTest, errors_fullDiskRaisesAndIsNeverSuccess) {
    WriteAll(Dir / "s", RandomBytes(3 * BlockSize, 42));
    try {
        (void)Encrypt(Dir / "s", "/dev/full");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Disk full");
    }
}

TEST_F(FileTransformTest, errors_targetThatIsTheSourceNeverTruncatesIt) {
    const auto data = RandomBytes(20000, 43);
    WriteAll(Dir / "s", data);
    fs::create_hard_link(Dir / "s", Dir / "hard");
    fs::create_symlink(Dir / "s", Dir / "soft");
    for (const std::string& target : {Dir / "s", Dir / "hard", Dir / "soft", Dir / "./s"}) {
        Recorder.Clear();
        EXPECT_THROW((void)Encrypt(Dir / "s", target), EInOutError) << target;
        EXPECT_THROW((void)DecryptFileCore(Dir / "s", target, KeyText, nullptr, &Recorder),
                     EInOutError);
        EXPECT_EQ(ReadAll(Dir / "s"), data) << target;
        ASSERT_FALSE(Recorder.Messages.empty());
        EXPECT_EQ(Recorder.Messages[0], "! Can't open input file " + target);
    }
}

// A file-size limit makes the kernel complete a write short, for real.
TEST_F(FileTransformTest, errors_shortWriteIsToldAndTheResultIsFalse) {
    const auto data = RandomBytes(20000, 44);
    WriteAll(Dir / "s", data);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{15000, 15000};
        setrlimit(RLIMIT_FSIZE, &lim);
        TNoticeRecorder seen;
        int code = 3;
        try {
            const TTransformResult result =
                EncryptFileCore(Dir / "s", Dir / "t", KeyText, {}, nullptr, &seen);
            const bool told =
                seen.Messages == std::vector<std::string>{"! Error writing output file"} &&
                seen.Paths == std::vector<std::string>{Dir / "t"};
            code = result ? 1 : result.End == TTransformEnd::CutShort && told ? 0 : 4;
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: success reported, 2: raised, 4: wrong message";
    EXPECT_EQ(ReadAll(Dir / "s"), data);
}

} // namespace
