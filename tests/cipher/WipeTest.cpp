#include "Wipe.h"
#include "MessageRecorder.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class WipeTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TMessageRecorder Recorder;
    TProgressRecorder Progress;
};

TEST_F(WipeTest, overwritesInPlaceWith0x0FThenDeletes) {
    for (std::size_t size : {0u, 1u, 10241u}) {
        WriteAll(Dir / "w", RandomBytes(size, 50));
        // A second name for the same file shows what its blocks held when the first went.
        fs::create_hard_link(Dir / "w", Dir / "witness");
        Progress.Calls.clear();
        EXPECT_TRUE(WipeFileCore(Dir / "w", Dir / "w", &Progress));
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
    EXPECT_FALSE(WipeFileCore(Dir / "none", Dir / "none", &Progress));
    EXPECT_TRUE(Progress.Calls.empty());
    EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(WipeTest, symbolicLinkIsRefusedAndItsTargetKept) {
    const auto data = RandomBytes(100, 51);
    WriteAll(Dir / "real", data);
    fs::create_symlink(Dir / "real", Dir / "link");
    EXPECT_FALSE(WipeFileCore(Dir / "link", Dir / "link", &Progress));
    EXPECT_EQ(ReadAll(Dir / "real"), data);
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));
    EXPECT_EQ(Recorder.Messages.size(), 1u);
}

TEST_F(WipeTest, readOnlyFileIsMadeWritableAndWiped) {
    WriteAll(Dir / "ro", RandomBytes(100, 52));
    fs::permissions(Dir / "ro", fs::perms::owner_read);
    EXPECT_TRUE(WipeFileCore(Dir / "ro", Dir / "ro", nullptr));
    EXPECT_FALSE(fs::exists(Dir / "ro"));
}

} // namespace
