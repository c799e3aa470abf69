// SPDX-License-Identifier: MIT
// The real program, started as a process without a display, as scripts use it.

#include "support/Process.h"
#include "support/Privileged.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(ProcessTest, argumentsThatLookLikeQtOptionsAreTheProgramsOwn) {
    // Qt takes -platform, -style, -reverse, -display ... for itself and aborts on some; here they
    // are a key and file names.
    const auto data = RandomBytes(20000, 3);
    WriteAll(Dir / "-display", data);
    auto r = Run({"ENC", "-platform", "-display", "-reverse"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "-reverse"), ref::transform(Bytes("-platform"), data, true));
    r = Run({"DEC", "-platform", "-reverse", "--style"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "--style"), data);
    r = Run({"ENC", "-qwindowgeometry", "--style", "-style"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "-style"), ref::transform(Bytes("-qwindowgeometry"), data, true));
}

TEST_F(ProcessTest, settingsNamingWhatCannotBeReadNeverHoldTheStart) {
    const auto data = RandomBytes(5000, 4);
    WriteAll(Dir / "a", data);
    ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(Dir / "folder");
    // An endless file in all but name: far more than a skin could ever be.
    WriteAll(Dir / "huge.ini", Bytes("<CALYXOR SKIN FILE>\r\n"));
    fs::resize_file(Dir / "huge.ini", 1ull << 32);
    const std::string skin = Dir / "app/Skins/default/skin.ini";
    const std::string sfx = Dir / "app/SFX/default.sfx";
    struct Row {
        std::string Skin, Sfx, Said;
    };
    const Row rows[] = {
        {Dir / "fifo", sfx, "is not a file that can be read"},
        {"/dev/zero", sfx, "is not a file that can be read"},
        {Dir / "folder", sfx, "is a folder, not a file"},
        {Dir / "huge.ini", sfx, "is too large"},
        {skin, Dir / "fifo", "cannot be the SFX module"},
        {skin, "/dev/zero", "cannot be the SFX module"},
        {skin, Dir / "folder", "cannot be the SFX module"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Skin + " " + row.Sfx);
        WriteAll(Dir / "app/calyxor.ini",
                 Bytes("[Config]\r\nSkin=" + row.Skin + "\r\nSFX=" + row.Sfx + "\r\n"));
        fs::remove(Dir / "a.ash");
        const auto r = Run({"ENC", "k", "a", "a.ash"});
        ASSERT_FALSE(r.TimedOut);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_NE(r.Err.find(row.Said), std::string::npos) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "a.ash"), ref::transform(Bytes("k"), data, true));
    }
}

TEST_F(ProcessTest, settingsFileIsNeverLeftHalfWritten) {
    SKIP_UNLESS_PRIVILEGED(CanPtrace(), "strace cannot trace here");
    // What the program itself would not write, so that old and new are told apart.
    const std::string ini = fs::canonical(Dir / "app/calyxor.ini");
    const auto old = Bytes("[Config]\r\nSkin=" + (Dir / "app/Skins/default/skin.ini") +
                           "\r\nSFX=" + (Dir / "app/SFX/default.sfx") + "\r\n; mine\r\n");
    WriteAll(ini, old);
    // A start with one missing file only closes the window and saves the settings: the one
    // rename of the run is theirs. Killed there, the old file must still be there, whole.
    TRunOptions options;
    options.Cwd = Dir.Path;
    options.Unset = NoDisplay;
    const auto r = RunProgram({"/usr/bin/strace", "-qq", "-f", "-o", "/dev/null", "-e",
                               "inject=rename,renameat,renameat2:signal=KILL", App, "no-such-file"},
                              options);
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(ReadAll(ini), old);

    // Left alone, the save replaces the file whole and leaves nothing else behind.
    for (const auto& entry : fs::directory_iterator(Dir / "app"))
        if (entry.path().filename().string().starts_with(".calyxor.ini."))
            fs::remove(entry.path());
    const auto done = Run({"no-such-file"});
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    const auto now = ReadAll(ini);
    EXPECT_EQ(std::string(now.begin(), now.end()).find("; mine"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(Dir / "app"))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".calyxor.ini."));
}

} // namespace

namespace {

// The program takes its language from the environment at start: Russian as it has always
// spoken, English for everyone else. A module setting that names a folder makes it speak.
TEST(ProcessLanguageTest, theEnvironmentChoosesTheLanguage) {
    TTempDir dir;
    fs::create_directory(dir / "app");
    fs::create_directory(dir / "folder");
    fs::copy_file(std::string(CALYXOR_BUILD_DIR) + "/calyxor", dir / "app/calyxor");
    fs::create_directory_symlink(std::string(CALYXOR_BUILD_DIR) + "/Skins", dir / "app/Skins");
    WriteAll(dir / "app/calyxor.ini",
             Bytes("[Config]\r\nSkin=" + (dir / "app/Skins/default/skin.ini") +
                   "\r\nSFX=" + (dir / "folder") + "\r\n"));
    WriteAll(dir / "a", Bytes("plain"));
    const std::string russian = "(Параметры → Выбрать SFX модуль).";
    const std::string english = "(Options → Choose SFX module).";
    struct TRow {
        std::vector<std::string> Env;
        const std::string& Said;
    };
    const TRow rows[] = {
        {{"LANG=ru_RU.UTF-8"}, russian},
        {{"LANG=en_US.UTF-8"}, english},
        {{"LANG=C.UTF-8"}, english},
        {{}, english},
        {{"LANGUAGE=ru", "LANG=C.UTF-8"}, russian},
        {{"LC_ALL=C.UTF-8", "LANG=ru_RU.UTF-8"}, english},
        {{"LC_MESSAGES=ru_RU.UTF-8", "LANG=de_DE.UTF-8"}, russian},
    };
    for (const TRow& row : rows) {
        TRunOptions options;
        options.Cwd = dir.Path;
        options.Unset = NoDisplay;
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            options.Unset.emplace_back(name);
        options.Env = row.Env;
        std::string shown;
        for (const std::string& e : row.Env)
            shown += e + " ";
        SCOPED_TRACE(shown);
        fs::remove(dir / "a.ash");
        const auto r = RunProgram({dir / "app/calyxor", "ENC", "k", "a", "a.ash"}, options);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        const std::string refusal = &row.Said == &russian
                                        ? "Error: «" + (dir / "folder") + "» — не файл"
                                        : "Error: “" + (dir / "folder") + "” is not a file";
        EXPECT_NE(r.Err.find(refusal), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find(row.Said), std::string::npos) << r.Err;
        EXPECT_TRUE(fs::exists(dir / "a.ash"));
    }
}

} // namespace
