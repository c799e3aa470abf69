// SPDX-License-Identifier: MIT
#include "cipher/Wipe.h"
#include "cipher/BlockFile.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class WipeTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TNoticeRecorder Recorder;
    TProgressRecorder Progress;
};

TEST_F(WipeTest, overwritesInPlaceWith0x0FThenDeletes) {
    for (std::size_t size : {0u, 1u, 10241u}) {
        WriteAll(Dir / "w", RandomBytes(size, 50));
        // A second name for the same file shows what its blocks held when the first went.
        fs::create_hard_link(Dir / "w", Dir / "witness");
        Progress.Calls.clear();
        EXPECT_TRUE(WipeFileCore(Dir / "w", Dir / "w", &Progress, &Recorder));
        EXPECT_FALSE(fs::exists(Dir / "w"));
        EXPECT_EQ(ReadAll(Dir / "witness"), std::vector<uint8_t>(size, 0x0F));
        fs::remove(Dir / "witness");
        std::vector<std::string> expected{"max " + std::to_string(size)};
        if (size >= 1)
            expected.push_back("pos 1");
        if (size >= 10241)
            expected.push_back("pos 10241");
        expected.push_back("pos 0");
        EXPECT_EQ(Progress.Calls, expected) << size;
    }
    EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(WipeTest, missingFileFailsSilentlyWithoutTouchingTheGauge) {
    EXPECT_EQ(WipeFileCore(Dir / "none", Dir / "none", &Progress, &Recorder).End,
              TWipeEnd::Missing);
    EXPECT_TRUE(Progress.Calls.empty());
    EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(WipeTest, symbolicLinkIsRefusedAndItsTargetKept) {
    const auto data = RandomBytes(100, 51);
    WriteAll(Dir / "real", data);
    fs::create_symlink(Dir / "real", Dir / "link");
    EXPECT_EQ(WipeFileCore(Dir / "link", Dir / "link", &Progress, &Recorder).End,
              TWipeEnd::Refused);
    EXPECT_EQ(ReadAll(Dir / "real"), data);
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));
    EXPECT_EQ(Recorder.Messages.size(), 1u);
    EXPECT_EQ(Recorder.Paths, std::vector<std::string>{Dir / "link"});
}

// Encrypting through a symbolic link reads the file it leads to; the wipe that follows refuses
// the link, as the wipe command does, rather than claim that the file changed.
TEST_F(WipeTest, afterEncryptionThroughALink_theLinkIsRefusedAndBothStay) {
    const auto original = RandomBytes(5000, 62);
    WriteAll(Dir / "file", original);
    fs::create_symlink(Dir / "file", Dir / "link");
    TFileIdentity read;
    ASSERT_TRUE(EncryptFileCore(Dir / "link", Dir / "enc", std::vector<uint8_t>{'k'}, {}, nullptr,
                                &Recorder, {}, &read));
    EXPECT_EQ(WipeVerifiedFile(Dir / "link", read, nullptr, &Recorder).End, TWipeEnd::Refused);
    EXPECT_EQ(Recorder.Messages,
              std::vector<std::string>{std::string(CantOpenMessage) + (Dir / "link").c_str()});
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));
    EXPECT_EQ(ReadAll(Dir / "file"), original);
}

TEST_F(WipeTest, readOnlyFileIsMadeWritableAndWiped) {
    WriteAll(Dir / "ro", RandomBytes(100, 52));
    fs::permissions(Dir / "ro", fs::perms::owner_read);
    EXPECT_TRUE(WipeFileCore(Dir / "ro", Dir / "ro", nullptr, &Recorder));
    EXPECT_TRUE(Recorder.Messages.empty());
    EXPECT_FALSE(fs::exists(Dir / "ro"));
}

// The wipe after an encryption wipes the file the encryption read, or nothing. Whatever
// happened to the name between the two, the user's bytes under it are kept and the user told.
TEST_F(WipeTest, afterEncryption_onlyTheVeryFileThatWasReadIsWiped) {
    const auto original = RandomBytes(30000, 60);
    const auto other = RandomBytes(30000, 61);
    const std::string src = Dir / "src";
    struct TCase {
        const char* Name;
        std::function<void()> Change;
        bool Wiped;
    };
    const TCase cases[] = {
        {"unchanged", [] {}, true},
        {"rewritten at the same size", [&] { WriteAll(src, other); }, false},
        {"rewritten, its modification time put back",
         [&] {
             struct stat st {};
             ::stat(src.c_str(), &st);
             WriteAll(src, other);
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, src.c_str(), times, 0);
         },
         false},
        {"made read-only", [&] { fs::permissions(src, fs::perms::owner_read); }, false},
        {"replaced by another file",
         [&] {
             fs::rename(src, Dir / "moved");
             WriteAll(src, other);
         },
         false},
        {"replaced by a link to itself",
         [&] {
             fs::rename(src, Dir / "moved");
             fs::create_symlink(Dir / "moved", src);
         },
         false},
        {"deleted", [&] { fs::remove(src); }, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(src);
        fs::remove(Dir / "moved");
        fs::remove(Dir / "witness");
        Recorder.Clear();
        WriteAll(src, original);
        // Made before the encryption: a new link changes the file's change time.
        fs::create_hard_link(src, Dir / "witness");
        TFileIdentity read;
        ASSERT_TRUE(EncryptFileCore(src, Dir / "enc", std::vector<uint8_t>{'k'}, {}, nullptr,
                                    &Recorder, {}, &read));
        // File times advance with the kernel's clock tick, not with every nanosecond: a change
        // within the same tick as the write before it could not be told apart by them.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.Change();
        const bool existed = fs::exists(fs::symlink_status(src));
        const auto before = existed ? ReadAll(src) : std::vector<uint8_t>{};
        EXPECT_EQ(WipeVerifiedFile(src, read, nullptr, &Recorder).End,
                  c.Wiped ? TWipeEnd::Wiped : TWipeEnd::Refused);
        if (c.Wiped) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(src)));
            EXPECT_EQ(ReadAll(Dir / "witness"), std::vector<uint8_t>(30000, 0x0F));
            EXPECT_TRUE(Recorder.Messages.empty());
        } else {
            EXPECT_EQ(fs::exists(fs::symlink_status(src)), existed);
            if (existed) {
                EXPECT_EQ(ReadAll(src), before);
            }
            EXPECT_NE(ReadAll(Dir / "witness"), std::vector<uint8_t>(30000, 0x0F));
            EXPECT_EQ(Recorder.Messages,
                      std::vector<std::string>{
                          "The source file changed after it was encrypted; it was kept: " + src});
            EXPECT_EQ(Recorder.Paths, std::vector<std::string>{src});
        }
    }
}

} // namespace
