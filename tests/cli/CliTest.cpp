// SPDX-License-Identifier: MIT
// calyxor-cli as scripts and people at a terminal run it: the built program, its outputs
// checked against the reference cipher and against `calyxor ENC` and `DEC`.

#include "support/LanguageEnv.h"
#include "support/Privileged.h"
#include "support/Process.h"
#include "support/Pty.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string BuildDir = CALYXOR_BUILD_DIR;
// The tests expect calyxor-cli's English whatever language the machine runs in; the one test
// of the Russian asks for it.
const TLanguageEnv English("C");
const std::string Key = "ключ 1";
// The key's CP1251 bytes, as the window makes them.
const std::vector<uint8_t> KeyBytes = {0xEA, 0xEB, 0xFE, 0xF7, ' ', '1'};

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}
std::string Text(const std::vector<uint8_t>& v) {
    return {v.begin(), v.end()};
}
bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliTest : public ::testing::Test {
protected:
    // The programs are copied into a folder of their own with the shipped module and settings
    // beside them, as they are found when installed by hand: the module is looked up there.
    static void SetUpTestSuite() {
        App = new TTempDir;
        for (const char* program : {"calyxor-cli", "calyxor"})
            fs::copy_file(BuildDir + "/" + program, *App / program);
        fs::create_directory_symlink(BuildDir + "/SFX", *App / "SFX");
        fs::create_directory_symlink(BuildDir + "/Skins", *App / "Skins");
        WriteAll(*App / "calyxor.ini",
                 Bytes("[Config]\r\nSkin=" + (*App / "Skins/default/skin.ini") +
                       "\r\nSFX=" + (*App / "SFX/default.sfx") + "\r\n"));
    }
    static void TearDownTestSuite() { delete App; }

    void SetUp() override { WriteAll(Dir / "key.txt", Bytes(Key + "\n")); }

    TRunResult Cli(std::vector<std::string> args, TRunOptions options = {}) {
        args.insert(args.begin(), Cli());
        if (options.Cwd.empty())
            options.Cwd = Dir.Path;
        return RunProgram(args, options);
    }
    TPtyResult CliOnPty(std::vector<std::string> args, const std::vector<std::string>& typed) {
        args.insert(args.begin(), Cli());
        return RunOnPty(args, Dir.Path, typed);
    }
    static std::string Cli() { return *App / "calyxor-cli"; }
    TRunOptions InDir() const {
        TRunOptions options;
        options.Cwd = Dir.Path;
        return options;
    }
    std::vector<uint8_t> MakeFile(const std::string& name, std::size_t n, uint32_t seed = 1) {
        auto data = DocumentBytes(n, seed);
        WriteAll(Dir / name, data);
        return data;
    }
    static std::vector<uint8_t> Encrypted(const std::vector<uint8_t>& plain) {
        return ref::transform(KeyBytes, plain, true);
    }

    static TTempDir* App;
    TTempDir Dir;
};
TTempDir* CliTest::App = nullptr;

// ---- the key ------------------------------------------------------------------------------------

TEST_F(CliTest, everyKeySource_givesTheWindowsBytes) {
    const auto data = MakeFile("a.doc", 25000);

    // At a terminal: asked twice, never shown.
    auto tty = CliOnPty({"encrypt", "a.doc"}, {Key, Key});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "Key:")) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "Key again:")) << tty.Output;
    EXPECT_FALSE(Has(tty.Output, "ключ")) << "the key was echoed: " << tty.Output;
    EXPECT_EQ(ReadAll(Dir / "a.doc.ash"), Encrypted(data));

    // From a file, standard input (a CR LF line end is no part of the key) and a descriptor.
    const int fd = ::open((Dir / "key.txt").c_str(), O_RDONLY); // inherited by the program
    ASSERT_GE(fd, 0);
    TRunOptions crlf;
    crlf.Stdin = Key + "\r\nnot the key\n";
    const std::pair<std::vector<std::string>, TRunOptions> sources[] = {
        {{"--key-file", "key.txt"}, {}},
        {{"--key-file=-"}, crlf},
        {{"--key-fd", std::to_string(fd)}, {}},
    };
    for (const auto& [keyOption, options] : sources) {
        SCOPED_TRACE(keyOption[0]);
        std::vector<std::string> args{"encrypt", "-f", "a.doc"};
        args.insert(args.end(), keyOption.begin(), keyOption.end());
        const auto r = Cli(args, options);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Err, ""); // nothing but errors when standard error is no terminal
        EXPECT_EQ(ReadAll(Dir / "a.doc.ash"), Encrypted(data));
    }
    ::close(fd);

    // Decryption asks once.
    fs::rename(Dir / "a.doc", Dir / "orig.doc");
    tty = CliOnPty({"decrypt", "a.doc.ash"}, {Key});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_FALSE(Has(tty.Output, "Key again:"));
    EXPECT_EQ(ReadAll(Dir / "a.doc"), data);
}

TEST_F(CliTest, withoutAUsableKey_status2AndNothingWritten) {
    MakeFile("a.doc", 100);
    WriteAll(Dir / "empty.txt", {});
    WriteAll(Dir / "han.txt", Bytes("日本\n"));
    const std::vector<std::string> cases[] = {
        {"encrypt", "a.doc"}, // no terminal, no key option
        {"encrypt", "--key-file", "empty.txt", "a.doc"},
        {"encrypt", "--key-file", "han.txt", "a.doc"}, // CP1251 cannot hold it: refused
        {"encrypt", "--key-file", "missing.txt", "a.doc"},
        {"encrypt", "--key-fd", "9", "a.doc"}, // not open
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[args.size() - 2]);
        const auto r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2) << r.Err;
        EXPECT_TRUE(r.Err.starts_with("calyxor-cli: ")) << r.Err;
        EXPECT_FALSE(PathExists(Dir / "a.doc.ash"));
    }
    // Two typed keys that differ three times.
    const auto tty = CliOnPty({"encrypt", "a.doc"}, {"one", "two", "one", "two", "one", "two"});
    EXPECT_EQ(tty.ExitCode, 2) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "differ")) << tty.Output;
    EXPECT_FALSE(PathExists(Dir / "a.doc.ash"));
}

TEST_F(CliTest, aWrongKeysResultIsNeverWritten_unlessAskedFor) {
    const auto data = MakeFile("report.doc", 9000);
    WriteAll(Dir / "report.doc.ash", Encrypted(data));
    WriteAll(Dir / "other.doc.ash",
             ref::transform({'S', 'e', 'c', 'r', 't', 'e', '1'}, data, true));
    WriteAll(Dir / "wrong.txt", Bytes("Secrte1\n"));
    const auto good = DocumentBytes(500, 2);
    struct TCase {
        std::vector<std::string> Args;
        bool Existing; // a good report.doc is there before
        int Status;
        bool Written; // report.doc holds the decryption
    };
    const TCase cases[] = {
        {{"decrypt", "--key-file", "wrong.txt", "report.doc.ash"}, false, 1, false},
        // -f replaces a good file only with a result that looks like one.
        {{"decrypt", "--key-file", "wrong.txt", "-f", "report.doc.ash"}, true, 1, false},
        // Each file is judged for itself: the one this key opens is written.
        {{"decrypt", "--key-file", "wrong.txt", "-f", "-j", "2", "report.doc.ash", "other.doc.ash"},
         true,
         1,
         false},
        {{"decrypt", "--key-file", "key.txt", "-f", "report.doc.ash"}, true, 0, true},
        {{"decrypt", "--key-file", "wrong.txt", "-f", "--no-key-check", "report.doc.ash"},
         true,
         0,
         true},
    };
    for (const TCase& c : cases) {
        std::string args;
        for (const std::string& a : c.Args)
            args += a + " ";
        SCOPED_TRACE(args);
        fs::remove(Dir / "report.doc");
        if (c.Existing)
            WriteAll(Dir / "report.doc", good);
        const auto r = Cli(c.Args);
        EXPECT_EQ(r.ExitCode, c.Status) << r.Err;
        if (c.Written) {
            EXPECT_TRUE(PathExists(Dir / "report.doc"));
            EXPECT_NE(ReadAll(Dir / "report.doc"), good);
            continue;
        }
        EXPECT_TRUE(Has(r.Err, "calyxor-cli: report.doc.ash: the key seems to be wrong")) << r.Err;
        if (c.Existing)
            EXPECT_EQ(ReadAll(Dir / "report.doc"), good);
        else
            EXPECT_FALSE(PathExists(Dir / "report.doc"));
    }
    EXPECT_EQ(ReadAll(Dir / "other.doc"), data);
    // A file that is not encrypted at all looks the same as a wrong key's result.
    const auto r = Cli({"decrypt", "--key-file", "key.txt", "-o", "out.doc", "report.doc.ash"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    const auto plain = Cli({"decrypt", "--key-file", "key.txt", "-o", "twice.doc", "out.doc"});
    EXPECT_EQ(plain.ExitCode, 1) << plain.Err;
    EXPECT_FALSE(PathExists(Dir / "twice.doc"));
}

TEST_F(CliTest, typedKeys_askedAgainWhenTheyDifferOrLookWrong_shortOnesWarned) {
    const auto data = MakeFile("a.doc", 5000);
    // A second entry that differs asks again; a short key is taken with a warning.
    auto tty = CliOnPty({"encrypt", "a.doc"}, {"Secret1", "Secrte1", "Secret1", "Secret1"});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "type the key again")) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "shorter than 8")) << tty.Output;
    const auto encrypted = ReadAll(Dir / "a.doc.ash");
    const std::vector<uint8_t> secret1{'S', 'e', 'c', 'r', 'e', 't', '1'};
    EXPECT_EQ(ref::transform(secret1, encrypted, false), data);
    fs::remove(Dir / "a.doc");

    // Decrypt: a key whose result looks like noise is asked for again, the third try holds.
    tty = CliOnPty({"decrypt", "a.doc.ash"}, {"Secrte1", "secret1", "Secret1"});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "the key seems to be wrong")) << tty.Output;
    EXPECT_EQ(ReadAll(Dir / "a.doc"), data);

    // Three wrong tries: nothing written, status 1, the file named.
    fs::remove(Dir / "a.doc");
    tty = CliOnPty({"decrypt", "a.doc.ash"}, {"one", "two", "three"});
    EXPECT_EQ(tty.ExitCode, 1) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "a.doc.ash: the key seems to be wrong")) << tty.Output;
    EXPECT_FALSE(PathExists(Dir / "a.doc"));

    // An output that exists is found before any key is asked for.
    WriteAll(Dir / "a.doc", data);
    tty = CliOnPty({"decrypt", "a.doc.ash"}, {});
    EXPECT_EQ(tty.ExitCode, 1) << tty.Output;
    EXPECT_FALSE(Has(tty.Output, "Key:")) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "already exists")) << tty.Output;
}

// ---- outputs ------------------------------------------------------------------------------------

TEST_F(CliTest, sameBytesAsTheWindowsCommandLine_bothWays) {
    const auto data = MakeFile("a.doc", 40000, 3);
    const std::string calyxor = *App / "calyxor";
    TRunOptions noDisplay;
    noDisplay.Cwd = Dir.Path;
    noDisplay.Unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    auto r = RunProgram({calyxor, "ENC", Key, "a.doc", "by-window.ash"}, noDisplay);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    r = Cli({"encrypt", "--key-file", "key.txt", "a.doc"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "a.doc.ash"), ReadAll(Dir / "by-window.ash"));
    EXPECT_EQ(ReadAll(Dir / "a.doc.ash"), Encrypted(data));

    r = RunProgram({calyxor, "DEC", Key, "a.doc.ash", "by-window.doc"}, noDisplay);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    r = Cli({"decrypt", "--key-file", "key.txt", "-o", "by-cli.doc", "a.doc.ash"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "by-cli.doc"), ReadAll(Dir / "by-window.doc"));
    EXPECT_EQ(ReadAll(Dir / "by-cli.doc"), data);
}

TEST_F(CliTest, outputNamesAndStandardOutput) {
    fs::create_directory(Dir / "in");
    const auto data = Encrypted(DocumentBytes(3000, 1));
    WriteAll(Dir / "in/x.ash.y.ash", data);
    // Decrypted beside its source, under the window's name: cut at the first ".ash".
    auto r = Cli({"decrypt", "--key-file", "key.txt", "in/x.ash.y.ash"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "in/x"), ref::transform(KeyBytes, data, false));

    r = Cli({"encrypt", "--key-file", "key.txt", "-o", "-", "in/x"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Bytes(r.Out), Encrypted(ReadAll(Dir / "in/x")));

    // A name without an extension cannot be cut: that file fails, the others go on.
    MakeFile("in/readme", 10);
    r = Cli({"decrypt", "--key-file", "key.txt", "-f", "in/readme", "in/x.ash.y.ash"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: in/readme: ")) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "in/x"), ref::transform(KeyBytes, data, false));

    // Standard output is refused when it is the terminal.
    const auto tty = CliOnPty({"encrypt", "--key-file", "key.txt", "-o", "-", "in/x"}, {});
    EXPECT_EQ(tty.ExitCode, 2) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "terminal")) << tty.Output;
}

TEST_F(CliTest, anExistingOutputIsNeverTouchedWithoutForce) {
    const auto data = MakeFile("a.doc", 20000);
    WriteAll(Dir / "b.ash", Encrypted(data));
    const auto before = RandomBytes(777, 9);
    for (const std::string command : {"encrypt", "decrypt"}) {
        SCOPED_TRACE(command);
        const bool encrypt = command == "encrypt";
        const std::string source = encrypt ? "a.doc" : "b.ash";
        const std::string out = encrypt ? "a.doc.ash" : "a";
        WriteAll(Dir / out, before);
        auto r = Cli({command, "--key-file", "key.txt", source, "-o", out});
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_TRUE(Has(r.Err, "calyxor-cli: " + source + ": ") && Has(r.Err, out)) << r.Err;
        EXPECT_EQ(ReadAll(Dir / out), before);

        r = Cli({command, "--key-file", "key.txt", "--force", source, "-o", out});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(ReadAll(Dir / out), encrypt ? Encrypted(data) : data);
    }
}

TEST_F(CliTest, severalJobs_eachFileReported_oneFailureStopsNoOther) {
    std::vector<std::vector<uint8_t>> data;
    std::vector<std::string> args{"encrypt", "-j", "3", "--key-file", "key.txt"};
    for (int i = 0; i < 6; ++i) {
        const std::string name = "f" + std::to_string(i);
        if (i == 2)
            WriteAll(Dir / "f2.ash", Bytes("keep me")); // its output exists: that file fails
        data.push_back(MakeFile(name, 30000 + 5000 * i, i));
        args.push_back(name);
    }
    args.push_back("missing");
    const auto r = Cli(args);
    EXPECT_EQ(r.ExitCode, 1);
    for (int i = 0; i < 6; ++i) {
        if (i != 2) {
            EXPECT_EQ(ReadAll(Dir / ("f" + std::to_string(i) + ".ash")), Encrypted(data[i])) << i;
        }
    }
    EXPECT_EQ(ReadAll(Dir / "f2.ash"), Bytes("keep me"));
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: f2: ")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: missing: File does not exist.")) << r.Err;
    // The same output twice in one run is written once.
    const auto twice = Cli({"encrypt", "-f", "--key-file", "key.txt", "f0", "./f0"});
    EXPECT_EQ(twice.ExitCode, 1);
    EXPECT_EQ(ReadAll(Dir / "f0.ash"), Encrypted(data[0]));
}

// Jobs at once each hear their own notices: every line names the file whose run gave it, once;
// a source that could not be wiped is said after the refusal that kept it.
TEST_F(CliTest, severalJobs_theEnginesNoticesNameTheirOwnFile) {
    std::vector<std::string> args{"wipe", "-j", "4"};
    for (int i = 0; i < 8; ++i) {
        const std::string file = "t" + std::to_string(i), link = "l" + std::to_string(i);
        MakeFile(file, 20000, static_cast<uint32_t>(i));
        fs::create_symlink(Dir / file, Dir / link); // wiping never follows a link
        args.push_back(link);
    }
    auto r = Cli(args);
    EXPECT_EQ(r.ExitCode, 1);
    for (int i = 0; i < 8; ++i) {
        const std::string link = "l" + std::to_string(i);
        const std::string line = "calyxor-cli: " + link + ": ! Can't open input file " + link +
                                 ": it is a symbolic link, and a link is never followed to be "
                                 "wiped; give the path of the file itself\n";
        const std::size_t at = r.Err.find(line);
        EXPECT_NE(at, std::string::npos) << r.Err;
        EXPECT_EQ(r.Err.find(line, at + 1), std::string::npos) << r.Err;
        EXPECT_TRUE(PathExists(Dir / ("t" + std::to_string(i))));
    }
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 8) << r.Err;

    r = Cli({"encrypt", "--wipe", "--key-file", "key.txt", "l0"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "calyxor-cli: l0: ! Can't open input file l0: it is a symbolic link, and a "
                     "link is never followed to be wiped; give the path of the file itself\n"
                     "calyxor-cli: l0: Cannot wipe the file: l0\n");
    EXPECT_TRUE(PathExists(Dir / "l0.ash"));
    EXPECT_TRUE(PathExists(Dir / "t0"));
}

// ---- self-extracting files and wiping
// -------------------------------------------------------------

// calyxor-cli decrypts a self-extracting file as its module restores it: the module is left
// out, found by its own headers, and the output is named as the module names it.
TEST_F(CliTest, decryptingASelfExtractingFile_restoresItsPayload) {
    const auto data = MakeFile("report.doc", 30000);
    for (const std::string module : {"default.sfx", "windows.sfx"}) {
        if (!fs::exists(BuildDir + "/SFX/" + module))
            continue; // the Windows module is built with MinGW unless that is turned off
        SCOPED_TRACE(module);
        auto r = Cli({"encrypt", "-f", "--sfx=" + BuildDir + "/SFX/" + module, "--key-file",
                      "key.txt", "-o", "Report.doc.EXE", "report.doc"});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        r = Cli({"decrypt", "--key-file", "key.txt", "Report.doc.EXE"});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "Report.doc"), data);
        fs::remove(Dir / "Report.doc");
        // The judgement looks at the payload, not at the module.
        WriteAll(Dir / "wrong.txt", Bytes("not the key\n"));
        r = Cli({"decrypt", "--key-file", "wrong.txt", "Report.doc.EXE"});
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(Has(r.Err, "the key seems to be wrong")) << r.Err;
        EXPECT_FALSE(PathExists(Dir / "Report.doc"));
    }
}

TEST_F(CliTest, sfx_makesAProgramThatRestoresTheFile) {
    const auto data = MakeFile("report.doc", 15000, 4);
    auto r = Cli({"encrypt", "--sfx", "--key-file", "key.txt", "report.doc"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto module = ReadAll(BuildDir + "/SFX/default.sfx");
    auto exe = ReadAll(Dir / "report.doc.exe");
    ASSERT_EQ(exe.size(), module.size() + data.size());
    EXPECT_TRUE(std::equal(module.begin(), module.end(), exe.begin()));
    EXPECT_EQ(std::vector<uint8_t>(exe.begin() + static_cast<long>(module.size()), exe.end()),
              Encrypted(data));

    TRunOptions keyIn;
    keyIn.Cwd = Dir.Path;
    keyIn.Stdin = Key + "\n";
    r = RunProgram({Dir / "report.doc.exe", "-o", "restored.doc"}, keyIn);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "restored.doc"), data);

    // Another module, by path; a module that is not there, or is not one whole program (here a
    // self-extracting file), stops everything before it starts, --wipe or not.
    fs::copy_file(BuildDir + "/SFX/default.sfx", Dir / "other.sfx");
    r = Cli({"encrypt", "-f", "--sfx=other.sfx", "--key-file", "key.txt", "report.doc"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc.exe").size(), module.size() + data.size());
    for (const char* sfx : {"--sfx=nowhere.sfx", "--sfx=report.doc.exe"}) {
        r = Cli({"encrypt", sfx, "--wipe", "--key-file", "key.txt", "report.doc", "-o", "n"});
        EXPECT_EQ(r.ExitCode, 2) << r.Err;
        EXPECT_FALSE(PathExists(Dir / "n"));
        EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
    }
    EXPECT_TRUE(Has(r.Err, "bytes follow it")) << r.Err;
}

// The window's choice of module decides a bare --sfx, so a user at a terminal is told which one
// and where it was chosen; the shipped modules are chosen by the system they run on.
TEST_F(CliTest, sfx_namesTheModuleItUses_andTakesTheShippedOnesByName) {
    const auto data = MakeFile("r.doc", 3000, 4);
    const std::string windows = *App / "SFX/windows.sfx", linux = *App / "SFX/default.sfx";
    if (!PathExists(windows))
        GTEST_SKIP() << "built without the Windows module";
    const std::string ini = *App / "calyxor.ini";
    const auto settings = ReadAll(ini);
    WriteAll(ini, Bytes("[Config]\r\nSkin=\r\nSFX=" + windows + "\r\n"));
    const auto tty = CliOnPty({"encrypt", "--sfx", "--key-file", "key.txt", "r.doc"}, {});
    const auto quiet = Cli({"encrypt", "-f", "--sfx", "--key-file", "key.txt", "r.doc"});
    WriteAll(ini, settings);
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "calyxor-cli: using the SFX module " + windows + ", chosen in " +
                                    ini + " (--sfx=linux"))
        << tty.Output;
    EXPECT_EQ(quiet.Err, "") << "told where nobody reads it";

    for (const auto& [name, module] : {std::pair{"linux", linux}, std::pair{"windows", windows}}) {
        SCOPED_TRACE(name);
        const auto r =
            Cli({"encrypt", "-f", std::string("--sfx=") + name, "--key-file", "key.txt", "r.doc"});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        const auto bytes = ReadAll(module);
        const auto exe = ReadAll(Dir / "r.doc.exe");
        ASSERT_EQ(exe.size(), bytes.size() + data.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), exe.begin()));
    }
}

TEST_F(CliTest, wipe_onlyAfterACompleteTarget) {
    auto data = MakeFile("a.doc", 30000);
    // The target cannot take the bytes: the source stays, byte for byte.
    auto r = Cli({"encrypt", "--wipe", "-f", "--key-file", "key.txt", "a.doc", "-o", "/dev/full"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Has(r.Err, "Disk full")) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "a.doc"), data);
    // The target exists and may not be replaced: nothing is written, nothing wiped.
    WriteAll(Dir / "a.doc.ash", Bytes("old"));
    r = Cli({"encrypt", "--wipe", "--key-file", "key.txt", "a.doc"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(ReadAll(Dir / "a.doc"), data);
    // Complete: the source goes.
    r = Cli({"encrypt", "--wipe", "-f", "--key-file", "key.txt", "a.doc"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(PathExists(Dir / "a.doc"));
    EXPECT_EQ(ReadAll(Dir / "a.doc.ash"), Encrypted(data));

    // The wipe command: files gone, a missing one reported, the others still wiped.
    MakeFile("w1", 12000);
    MakeFile("w2", 0);
    r = Cli({"wipe", "w1", "nothing", "w2"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: nothing: ")) << r.Err;
    EXPECT_FALSE(PathExists(Dir / "w1"));
    EXPECT_FALSE(PathExists(Dir / "w2"));
}

// Runs script with bash in the test's folder, "$0" being calyxor-cli.
#define CLI_SCRIPT(script) RunProgram({"/bin/bash", "-c", script, Cli()}, InDir())

// The key file is the one file no run may consume: encrypted with its own key and wiped, the
// only copy of the key would be locked inside a file that needs it. However the key was read
// from it, it is refused as a source or an output, and the other files go on.
TEST_F(CliTest, theKeyFile_isNeverEncryptedWipedOrReplaced) {
    const auto key = ReadAll(Dir / "key.txt");
    fs::create_hard_link(Dir / "key.txt", Dir / "same-key");
    const struct {
        const char* What;
        std::string Script;
        bool WipesA; // the other file of the run is encrypted and wiped
    } cases[] = {
        {"--key-file", "\"$0\" encrypt --wipe --key-file key.txt key.txt a", true},
        {"a hard link", "\"$0\" encrypt --wipe --key-file key.txt a same-key", true},
        {"--key-fd", "\"$0\" encrypt --wipe --key-fd 3 a ./key.txt 3<key.txt", true},
        {"standard input", "\"$0\" encrypt --wipe --key-file - key.txt a <key.txt", true},
        {"the output", "\"$0\" decrypt -f --key-file key.txt -o key.txt a.ash", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const auto data = MakeFile("a", 20000);
        WriteAll(Dir / "a.ash", Encrypted(data));
        if (c.WipesA)
            fs::remove(Dir / "a.ash");
        const auto r = CLI_SCRIPT(c.Script);
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(Has(r.Err, "key file of this run")) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "key.txt"), key);
        EXPECT_FALSE(PathExists(Dir / "key.txt.ash"));
        EXPECT_FALSE(PathExists(Dir / "same-key.ash"));
        if (c.WipesA) {
            EXPECT_FALSE(PathExists(Dir / "a"));
            EXPECT_EQ(ReadAll(Dir / "a.ash"), Encrypted(data));
        }
    }
}

// Bytes that went to a pipe, a FIFO or a device are on no disk: the source is kept and the
// run says why, and it ends, whatever reads the bytes.
TEST_F(CliTest, wipeAfterAPipeFifoOrDevice_keepsTheSourceAndEnds) {
    ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
    const struct {
        const char* Script;
        bool Read; // got holds what was written
    } cases[] = {
        {"cat fifo >got & \"$0\" encrypt --wipe -f --key-file key.txt -o fifo a; s=$?; wait; "
         "exit $s",
         true},
        {"\"$0\" encrypt --wipe -f --key-file key.txt -o /dev/stdout a | cat >got; "
         "exit ${PIPESTATUS[0]}",
         true},
        {"\"$0\" encrypt --wipe -f --key-file key.txt -o /dev/null a", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Script);
        const auto data = MakeFile("a", 300000);
        fs::remove(Dir / "got");
        const auto r = CLI_SCRIPT(c.Script);
        ASSERT_FALSE(r.TimedOut) << "the run never ended";
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(Has(r.Err, "not to a file on the disk; the source file was kept")) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "a"), data);
        if (c.Read) {
            EXPECT_EQ(ReadAll(Dir / "got"), Encrypted(data));
        }
    }
    // Standard output that is a file is flushed through its descriptor: then the source goes.
    const auto data = MakeFile("a", 30000);
    const auto r = CLI_SCRIPT("\"$0\" encrypt --wipe -f --key-file key.txt -o /dev/stdout a >got");
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(PathExists(Dir / "a"));
    EXPECT_EQ(ReadAll(Dir / "got"), Encrypted(data));
}

// Where the window has its short texts, the command line says what the system said.
TEST_F(CliTest, failuresSayTheirCause) {
    const auto data = MakeFile("a", 5000);
    WriteAll(Dir / "empty", {});
    fs::create_directory(Dir / "folder");
    fs::create_symlink(Dir / "a", Dir / "wl");
    const struct {
        const char* Script;
        int Status;
        const char* Said;
    } cases[] = {
        {"\"$0\" encrypt --key-file key.txt empty", 1,
         "empty: cannot read empty: the file is empty; there is nothing to encrypt or decrypt"},
        {"\"$0\" encrypt --key-file key.txt folder", 1,
         "cannot read folder: it is a folder; only files can be encrypted or decrypted"},
        {"\"$0\" decrypt --key-file key.txt -o x missing", 1, "missing: File does not exist."},
        {"\"$0\" decrypt --key-file key.txt -o x a/b", 1, "cannot read a/b: Path not found"},
        {"\"$0\" wipe wl", 1, "wl: ! Can't open input file wl: it is a symbolic link"},
        {"\"$0\" encrypt --key-fd 3 a 3>>key.txt", 2,
         "cannot read the key from descriptor 3: it is open for writing only"},
        {"\"$0\" encrypt --key-fd 3 a 3>&-", 2,
         "cannot read the key from descriptor 3: it is not open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Script);
        const auto r = CLI_SCRIPT(c.Script);
        EXPECT_EQ(r.ExitCode, c.Status) << r.Err;
        EXPECT_TRUE(Has(r.Err, c.Said)) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "a"), data);
        EXPECT_FALSE(PathExists(Dir / "a.ash"));
    }
    // Out of descriptors: once the first file is being written, the running program may open
    // no more: the first cannot flush its folder, and the second file's source cannot be opened.
    MakeFile("m1", 96 << 20);
    MakeFile("m2", 1000);
    const std::string err = Dir / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        if (::chdir(Dir.Path.c_str()) != 0)
            ::_exit(126);
        ::execl(Cli().c_str(), Cli().c_str(), "encrypt", "-j", "1", "--key-file", "key.txt", "m1",
                "m2", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    bool limited = false;
    for (int k = 0; k < 6000 && !limited; ++k) {
        std::error_code ec;
        bool writing = false;
        for (const auto& e : fs::directory_iterator(fds, ec))
            writing = writing || fs::read_symlink(e.path(), ec).string().find("(deleted)") !=
                                     std::string::npos;
        if (writing) {
            // Descriptors open stay open; a new one must be numbered below the limit, and only
            // the three standard ones are.
            const rlimit none{3, 3};
            limited = ::prlimit(pid, RLIMIT_NOFILE, &none, nullptr) == 0;
        } else {
            ::usleep(1000);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(limited) << "the run was never seen writing";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string told = Text(ReadAll(err));
    EXPECT_TRUE(Has(told, "m1: Too many open files")) << told;
    EXPECT_TRUE(Has(told, "m2: cannot read m2: Too many open files")) << told;
    EXPECT_FALSE(PathExists(Dir / "m2.ash"));
}

// ---- the command line itself --------------------------------------------------------------------

TEST_F(CliTest, wrongCommandLines_status2AndNothingWritten) {
    MakeFile("a", 10);
    MakeFile("b", 10);
    const std::vector<std::string> cases[] = {
        {},
        {"encrypt"},
        {"scramble", "a"},
        {"encrypt", "--bogus", "a"},
        {"encrypt", "-x", "a"},
        {"encrypt", "-o", "out", "a", "b"},
        {"encrypt", "-j", "0", "a"},
        {"encrypt", "--jobs=many", "a"},
        {"decrypt", "--sfx", "a"},
        {"wipe", "-o", "out", "a"},
        {"encrypt", "--wipe", "-o", "-", "a"},
        {"encrypt", "--key-file", "key.txt", "--key-fd", "0", "a"},
        {"encrypt", "--key-file"},
        {"encrypt", "-r", "-o", "out", "a"},
        {"decrypt", "-r", "--all", "a"},
        {"encrypt", "-r", "--remove-dirs", "a"},
        {"encrypt", "--cross-file-systems", "a"},
        {"encrypt", "--words", "4", "a"},
        {"genkey", "a"},
        {"genkey", "--words", "26"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const auto r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2) << r.Err;
        EXPECT_TRUE(r.Err.starts_with("calyxor-cli: ")) << r.Err;
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(PathExists(Dir / "a.ash") || PathExists(Dir / "out"));
        EXPECT_TRUE(PathExists(Dir / "a"));
    }
}

TEST_F(CliTest, helpAndVersion_ofBothPrograms) {
    auto r = Cli({"--help"});
    EXPECT_EQ(r.ExitCode, 0);
    for (const char* example : {"calyxor-cli encrypt ", "calyxor-cli decrypt ", "calyxor-cli wipe ",
                                "--key-file", "--key-fd", "Exit status"})
        EXPECT_TRUE(Has(r.Out, example)) << example;
    r = Cli({"--version"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(r.Out.starts_with("calyxor-cli ")) << r.Out;

    // The window's program answers both before it looks for a display.
    TRunOptions noDisplay;
    noDisplay.Unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    r = RunProgram({*App / "calyxor", "--help"}, noDisplay);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Has(r.Out, "calyxor ENC") && Has(r.Out, "calyxor-cli")) << r.Out;
    EXPECT_EQ(r.Err, "");
    r = RunProgram({*App / "calyxor", "--version"}, noDisplay);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(r.Out.starts_with("calyxor ")) << r.Out;

    // The help, the manual page and the completion know every long option.
    const std::string help = Cli({"--help"}).Out;
    std::string man = Text(ReadAll(BuildDir + "/man/calyxor-cli.1"));
    std::erase(man, '\\');
    const std::string completion =
        Text(ReadAll(std::string(CALYXOR_SOURCE_DIR) + "/data/completion/calyxor-cli"));
    for (const char* option :
         {"--output", "--force", "--sfx", "--wipe", "--key-file", "--key-fd", "--jobs", "--quiet",
          "--help", "--version", "--recursive", "--all", "--remove-dirs", "--one-file-system",
          "--cross-file-systems", "--words", "genkey"}) {
        EXPECT_TRUE(Has(help, option)) << "--help lacks " << option;
        EXPECT_TRUE(Has(man, option)) << "manual page lacks " << option;
        EXPECT_TRUE(Has(completion, option)) << "the completion lacks " << option;
    }
}

TEST_F(CliTest, progressOnATerminal_quietWithQ) {
    MakeFile("big.doc", 3 << 20);
    auto tty = CliOnPty({"encrypt", "--key-file", "key.txt", "big.doc"}, {});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "0/1 files  0%  0.0/3.1 MB  big.doc") &&
                tty.Output.ends_with("\r\033[Kbig.doc encrypted into big.doc.ash\r\n"))
        << tty.Output;
    tty = CliOnPty({"decrypt", "-q", "-o", "plain", "--key-file", "key.txt", "big.doc.ash"}, {});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_EQ(tty.Output, "");
}

TEST_F(CliTest, bashCompletion_offersCommandsAndOptions) {
    const std::string script = std::string(CALYXOR_SOURCE_DIR) + "/data/completion/calyxor-cli";
    auto complete = [&](const std::string& words, int current) {
        return RunProgram({"/bin/bash", "-c",
                           "source \"$0\"; COMP_WORDS=(" + words +
                               "); COMP_CWORD=" + std::to_string(current) +
                               "; _calyxor_cli; printf '%s\\n' \"${COMPREPLY[@]}\"",
                           script})
            .Out;
    };
    EXPECT_EQ(complete("calyxor-cli en", 1), "encrypt\n");
    const std::string key = complete("calyxor-cli decrypt --key-f", 2);
    EXPECT_TRUE(Has(key, "--key-fd\n") && Has(key, "--key-file\n") && key.size() == 20) << key;
    EXPECT_FALSE(Has(complete("calyxor-cli decrypt --", 2), "--wipe"));
    EXPECT_TRUE(Has(complete("calyxor-cli encrypt --", 2), "--wipe"));
}

// ---- the user's language --------------------------------------------------------------------

// Each kind of text in the language the environment names, a path put where the translation
// wants it, and the engine's own messages too.
TEST_F(CliTest, speaksRussianToARussianLocaleOnly) {
    MakeFile("a", 10);
    MakeFile("a.ash", 10);
    struct TCase {
        std::vector<std::string> Env;
        bool Russian;
    };
    const TCase cases[] = {
        {{"LANG=ru_RU.UTF-8"}, true},
        {{"LANGUAGE=ru:en", "LANG=en_US.UTF-8"}, true},
        {{"LANG=C"}, false},
        {{"LANG=en_US.UTF-8"}, false},
        {{"LC_ALL=C", "LANG=ru_RU.UTF-8"}, false},
    };
    for (const auto& c : cases) {
        TRunOptions env;
        env.Env = c.Env;
        SCOPED_TRACE(c.Env.back());
        auto r = Cli({"--help"}, env);
        EXPECT_TRUE(r.Out.starts_with(c.Russian ? "Запуск: calyxor-cli encrypt "
                                                : "Usage: calyxor-cli encrypt "))
            << r.Out;
        r = Cli({"scramble", "a"}, env);
        EXPECT_EQ(r.Err, c.Russian
                             ? "calyxor-cli: неизвестная команда 'scramble' (команды: "
                               "encrypt, decrypt, wipe и genkey)\nСправка: 'calyxor-cli --help'.\n"
                             : "calyxor-cli: unknown command 'scramble' (the commands are "
                               "encrypt, decrypt, wipe and genkey)\nTry 'calyxor-cli --help'.\n");
        r = Cli({"encrypt", "--key-file", "key.txt", "a"}, env);
        EXPECT_TRUE(Has(r.Err, c.Russian ? "calyxor-cli: a: 'a.ash' уже существует и оставлен как "
                                           "есть (-f заменяет его)"
                                         : "calyxor-cli: a: 'a.ash' already exists and was left "
                                           "as it is (-f replaces it)"))
            << r.Err;
        r = Cli({"decrypt", "--key-file", "key.txt", "gone.ash"}, env);
        EXPECT_TRUE(Has(r.Err, c.Russian ? "gone.ash: Файл не существует."
                                         : "gone.ash: File does not exist."))
            << r.Err;
    }

    // The prompts keep their colon, by which a program typing the key knows when to.
    const TLanguageEnv russian("ru_RU.UTF-8");
    const auto plain = MakeFile("b", 100);
    const auto tty = CliOnPty({"encrypt", "b"}, {Key, Key});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "Ключ:") && Has(tty.Output, "Ключ ещё раз:")) << tty.Output;
    EXPECT_TRUE(Has(tty.Output, "b зашифрован в b.ash")) << tty.Output;
    EXPECT_EQ(ReadAll(Dir / "b.ash"), Encrypted(plain));
}

// ---- folders
// ----------------------------------------------------------------------------------------

namespace trees {

// A tree with files at three depths, an .ash file, a link to a file outside it, a FIFO and an
// empty folder.
struct TTreeFiles {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> Files;
    std::vector<uint8_t> Outside;
};

TTreeFiles MakeTree(const fs::path& dir) {
    TTreeFiles t;
    fs::create_directories(dir / "tree/sub/deep");
    fs::create_directories(dir / "tree/empty");
    for (const char* name : {"tree/a", "tree/sub/b", "tree/sub/deep/c"}) {
        t.Files.emplace_back(name, DocumentBytes(20000, static_cast<uint32_t>(t.Files.size())));
        WriteAll(dir / name, t.Files.back().second);
    }
    WriteAll(dir / "tree/sub/old.ash", DocumentBytes(3000, 9));
    t.Outside = DocumentBytes(5000, 7);
    WriteAll(dir / "outside", t.Outside);
    fs::create_symlink(dir / "outside", dir / "tree/sub/link");
    ::mkfifo((dir / "tree/fifo").c_str(), 0600);
    return t;
}

} // namespace trees

// Each command finds its own files in a tree, skips with a message what it must not touch and
// ends with a summary; no link leads it out of the tree.
TEST_F(CliTest, recursive_eachCommandWorksOnItsFilesInTheTree) {
    const auto t = trees::MakeTree(Dir.Path);
    const std::string skips[] = {
        "calyxor-cli: tree/fifo: is a FIFO, not a regular file; skipped\n",
        "calyxor-cli: tree/sub/link: is a symbolic link; links are never followed, so it was "
        "skipped\n",
    };
    auto r = Cli({"encrypt", "-r", "-j", "2", "--wipe", "--key-file", "key.txt", "tree"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    for (const auto& line : skips)
        EXPECT_TRUE(Has(r.Err, line)) << r.Err;
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: files encrypted: 3, skipped: 2, failed: 0\n")) << r.Err;
    for (const auto& [name, data] : t.Files) {
        EXPECT_EQ(ReadAll(Dir / (name + ".ash")), Encrypted(data)) << name;
        EXPECT_FALSE(PathExists(Dir / name)) << name;
    }
    EXPECT_FALSE(PathExists(Dir / "tree/sub/old.ash.ash")); // without --all
    EXPECT_FALSE(PathExists(Dir / "tree/sub/link.ash"));
    EXPECT_EQ(ReadAll(Dir / "outside"), t.Outside);
    EXPECT_TRUE(fs::is_symlink(Dir / "tree/sub/link"));

    r = Cli({"encrypt", "-r", "--all", "--key-file", "key.txt", "tree/sub"});
    EXPECT_TRUE(PathExists(Dir / "tree/sub/old.ash.ash")) << r.Err;
    fs::remove(Dir / "tree/sub/old.ash.ash");
    fs::remove(Dir / "tree/sub/b.ash.ash");
    fs::remove(Dir / "tree/sub/deep/c.ash.ash");

    fs::remove(Dir / "tree/sub/old.ash"); // not the key's: it would be refused as noise
    r = Cli({"decrypt", "-r", "--key-file", "key.txt", "tree"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: files decrypted: 3, skipped: 2, failed: 0\n")) << r.Err;
    for (const auto& [name, data] : t.Files)
        EXPECT_EQ(ReadAll(Dir / name), data) << name;

    // Folders emptied go with --remove-dirs; the one that holds the skipped link stays.
    r = Cli({"wipe", "-r", "--remove-dirs", "tree"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: files wiped: 6, skipped: 2, failed: 0\n")) << r.Err;
    EXPECT_FALSE(PathExists(Dir / "tree/sub/deep"));
    EXPECT_FALSE(PathExists(Dir / "tree/empty"));
    EXPECT_TRUE(fs::is_symlink(Dir / "tree/sub/link"));
    EXPECT_EQ(ReadAll(Dir / "outside"), t.Outside);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "tree/sub"), fs::directory_iterator()), 1);
}

// A tree gets the same care as files named one by one: the key file inside it is neither
// encrypted nor wiped, and a wrong key's results are not written.
TEST_F(CliTest, recursive_keepsTheKeyFileAndRefusesAWrongKey) {
    const auto t = trees::MakeTree(Dir.Path);
    fs::rename(Dir / "key.txt", Dir / "tree/sub/key.txt");
    const auto key = ReadAll(Dir / "tree/sub/key.txt");
    auto r = Cli({"encrypt", "-r", "--wipe", "--key-file", "tree/sub/key.txt", "tree"});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, "tree/sub/key.txt: it is the key file of this run")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "files encrypted: 3, skipped: 2, failed: 1")) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "tree/sub/key.txt"), key);
    EXPECT_FALSE(PathExists(Dir / "tree/sub/key.txt.ash"));
    for (const auto& [name, data] : t.Files)
        EXPECT_EQ(ReadAll(Dir / (name + ".ash")), Encrypted(data)) << name;

    WriteAll(Dir / "wrong.txt", Bytes("not the key\n"));
    r = Cli({"decrypt", "-r", "--key-file", "wrong.txt", "tree"});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, "files decrypted: 0, skipped: 2, failed: 4")) << r.Err;
    for (const auto& [name, data] : t.Files)
        EXPECT_FALSE(PathExists(Dir / name)) << name;
}

// Like rm's safety: a file system mounted inside a tree (a backup disk, a share) is not entered
// unless asked.
TEST_F(CliTest, recursive_staysOnTheTreesFileSystem) {
    fs::create_directories(Dir / "tree/mnt");
    MakeFile("tree/a", 1000);
    const std::string script =
        "mount -t tmpfs none tree/mnt || exit 99; echo kept >tree/mnt/f; \"$0\" wipe -r tree; "
        "echo status=$?; cat tree/mnt/f; \"$0\" wipe -r --cross-file-systems tree; "
        "ls tree/mnt | wc -l";
    const auto r =
        RunProgram({"/usr/bin/unshare", "-rm", "/bin/bash", "-c", script, Cli()}, InDir());
    SKIP_UNLESS_PRIVILEGED(r.ExitCode == 0, "no mount namespace to mount a tmpfs in: " + r.Err);
    EXPECT_EQ(r.Out, "status=0\nkept\n0\n") << r.Err;
    EXPECT_TRUE(Has(r.Err, "calyxor-cli: tree/mnt: is on another file system and was not "
                           "entered (--cross-file-systems enters it)"))
        << r.Err;
    EXPECT_FALSE(PathExists(Dir / "tree/a"));
}

// ---- the terminal
// -----------------------------------------------------------------------------------

// A real terminal, as tmux keeps it: what a user sees once the command is over.
class TTmux {
public:
    TTmux(const fs::path& dir, int columns)
        : Socket(dir / "tmux.sock"),
          IsStarted(Tmux({"new-session", "-d", "-x", std::to_string(columns), "-y", "60", "-c",
                          dir.string(), "env PS1='$ ' bash --norc --noprofile"})
                        .ExitCode == 0) {}
    ~TTmux() { (void)Tmux({"kill-server"}); }
    [[nodiscard]] bool Started() const { return IsStarted; }
    void Type(const std::string& line) {
        (void)Tmux({"send-keys", "-l", line});
        (void)Tmux({"send-keys", "Enter"});
    }
    // The screen, wrapped lines joined.
    std::string Screen() { return Tmux({"capture-pane", "-p", "-J"}).Out; }
    // Waits for text to be on the screen count times.
    bool WaitFor(const std::string& text, int count = 1) {
        for (int i = 0; i < 600; ++i) {
            const std::string s = Screen();
            int seen = 0;
            for (std::size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1))
                ++seen;
            if (seen >= count)
                return true;
            ::usleep(50000);
        }
        return false;
    }

private:
    TRunResult Tmux(std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/tmux", "-S", Socket.string()});
        return RunProgram(args);
    }
    const fs::path Socket;
    const bool IsStarted;
};

// The status line only ever rewrites itself: a line printed before the command, the prompts
// and every file's result stay on the screen; a name too long for a narrow terminal is cut
// rather than wrapped, which would leave a piece behind; nothing of it stays at the end.
TEST_F(CliTest, progressOnATerminal_neverTouchesTheLinesAbove) {
    const std::string longName = "a-name-long-enough-to-wrap-a-narrow-terminal-many-times-over-"
                                 "if-it-were-not-cut.doc";
    fs::create_directories(Dir / "tree");
    std::vector<std::string> names{longName};
    for (int i = 0; i < 5; ++i)
        names.push_back("f" + std::to_string(i));
    // The long name is at work while the others end, so that the status shows it each time.
    for (const auto& name : names)
        MakeFile("tree/" + name, name == longName ? 24 << 20 : 100000);
    TTmux tmux(Dir.Path, 40);
    ASSERT_TRUE(tmux.Started()) << "tmux did not start";
    tmux.Type("echo line-before");
    // The quotes keep the typed line from showing what the end shows.
    tmux.Type(Cli() + " encrypt -j 2 -r tree; echo \"status\"=$?");
    ASSERT_TRUE(tmux.WaitFor("Key:")) << tmux.Screen();
    // ASCII: the terminal's locale is C, in which tmux types no Cyrillic.
    tmux.Type("a key for tmux");
    ASSERT_TRUE(tmux.WaitFor("Key again:")) << tmux.Screen();
    tmux.Type("a key for tmux");
    ASSERT_TRUE(tmux.WaitFor("status=")) << tmux.Screen();
    ::usleep(200000); // the prompt after it
    const std::string screen = tmux.Screen();
    EXPECT_TRUE(Has(screen, "\nline-before\n")) << screen;
    EXPECT_TRUE(Has(screen, "\nKey:\n") && Has(screen, "\nKey again:\n")) << screen;
    for (const auto& name : names)
        EXPECT_TRUE(Has(screen, "\ntree/" + name + " encrypted into tree/" + name + ".ash\n"))
            << screen;
    EXPECT_TRUE(Has(screen, "\ncalyxor-cli: files encrypted: 6, skipped: 0, failed: 0\n"
                            "status=0\n"))
        << screen;
    EXPECT_FALSE(Has(screen, "/6 files") || Has(screen, " MB")) << "status left behind:\n"
                                                                << screen;
}

// ---- passphrases
// ------------------------------------------------------------------------------------

TEST_F(CliTest, genkey_drawsWordsOfTheListAtRandom) {
    std::set<std::string> list;
    {
        const std::string text = Text(
            ReadAll(std::string(CALYXOR_SOURCE_DIR) + "/data/wordlist/eff_large_wordlist.txt"));
        std::istringstream in(text);
        std::string dice, word;
        while (in >> dice >> word)
            list.insert(word);
    }
    ASSERT_EQ(list.size(), 7776u);
    std::set<std::string> seen;
    for (const auto& [args, count] : std::vector<std::pair<std::vector<std::string>, std::size_t>>{
             {{"genkey"}, 6}, {{"genkey", "--words", "25"}, 25}, {{"genkey", "--words=1"}, 1}}) {
        const auto r = Cli(args);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        ASSERT_TRUE(r.Out.ends_with("\n")) << r.Out;
        std::istringstream in(r.Out);
        std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
        EXPECT_EQ(words.size(), count) << r.Out;
        for (const auto& w : words) {
            EXPECT_TRUE(list.count(w)) << w;
            seen.insert(w);
        }
    }
    // Nothing typed at the encryption's first prompt: a passphrase of six of those words,
    // shown once, is the key.
    const auto data = MakeFile("a.doc", 5000);
    const auto tty = CliOnPty({"encrypt", "a.doc"}, {""});
    EXPECT_EQ(tty.ExitCode, 0) << tty.Output;
    EXPECT_FALSE(Has(tty.Output, "Key again:")) << tty.Output;
    const std::string shown = "keep it, nothing else decrypts the files:\r\n  ";
    const std::size_t at = tty.Output.find(shown);
    ASSERT_NE(at, std::string::npos) << tty.Output;
    const std::string phrase = tty.Output.substr(
        at + shown.size(), tty.Output.find('\r', at + shown.size()) - at - shown.size());
    std::istringstream in(phrase);
    EXPECT_EQ(std::distance(std::istream_iterator<std::string>(in), {}), 6) << phrase;
    EXPECT_EQ(ref::transform(Bytes(phrase), ReadAll(Dir / "a.doc.ash"), false), data);

    // 32 words of 7,776 drawn fairly are all different more often than not, and never
    // fewer than 20 unless the draw is broken.
    EXPECT_GE(seen.size(), 20u);
}

} // namespace
