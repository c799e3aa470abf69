// The real program, started as a process without a display, as scripts use it.

#include "Process.h"
#include "ReferenceCipher.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> NoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A private application folder: the program writes its settings beside itself.
        fs::create_directory(Dir / "app");
        fs::copy_file(std::string(CALYXOR_BUILD_DIR) + "/calyxor", App);
        fs::create_directory_symlink(std::string(CALYXOR_BUILD_DIR) + "/Skins", Dir / "app/Skins");
        fs::create_directory_symlink(std::string(CALYXOR_BUILD_DIR) + "/SFX", Dir / "app/SFX");
        WriteAll(Dir / "app/calyxor.ini",
                 Bytes("[Config]\r\nSkin=" + (Dir / "app/Skins/default/skin.ini") +
                       "\r\nSFX=" + (Dir / "app/SFX/default.sfx") + "\r\n"));
    }
    TRunResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), App);
        TRunOptions options;
        options.Cwd = Dir.Path;
        options.Unset = NoDisplay;
        return RunProgram(args, options);
    }
    TTempDir Dir;
    const std::string App = Dir / "app/calyxor";
};

TEST_F(ProcessTest, encryptThenDecrypt_givesTheFileBack) {
    const auto data = RandomBytes(50000, 1);
    WriteAll(Dir / "a.txt", data);
    auto r = Run({"ENC", "secret", "a.txt", "a.txt.ash"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(ReadAll(Dir / "a.txt.ash"), ref::transform(Bytes("secret"), data, true));
    r = Run({"dec", "secret", "a.txt.ash", "b.txt"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "b.txt"), data);
}

TEST_F(ProcessTest, decryptToAnEmptyTargetWritesToStandardOutput) {
    const auto data = RandomBytes(70000, 2);
    WriteAll(Dir / "a.ash", ref::transform(Bytes("k"), data, true));
    const auto r = Run({"DEC", "k", "a.ash", ""});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, std::string(data.begin(), data.end()));
}

TEST_F(ProcessTest, failuresGiveAMessageAndANonZeroStatus) {
    auto r = Run({"ENC", "k", "missing", "t"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("File does not exist."), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(Dir / "t"));

    WriteAll(Dir / "a", Bytes("abc"));
    r = Run({"ENC", "k", "a", "/dev/full"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Disk full"), std::string::npos) << r.Err;

    r = Run({"ENCRYPT", "k", "a", "t"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_FALSE(fs::exists(Dir / "t"));
}

TEST_F(ProcessTest, withoutCommandTheWindowNeedsADisplay_aMissingFileEndsQuietly) {
    auto r = Run({});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("display"), std::string::npos) << r.Err;

    WriteAll(Dir / "a", Bytes("abc"));
    r = Run({"a"});
    EXPECT_EQ(r.ExitCode, 2);

    fs::remove(Dir / "app/calyxor.ini");
    r = Run({"no-such-file"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    // Closing wrote the settings, so the next start finds them.
    EXPECT_TRUE(fs::exists(Dir / "app/calyxor.ini"));
}

} // namespace
