// SPDX-License-Identifier: MIT
// The self-extracting stub, run as a user runs it: a self-extracting file is made by the same
// engine call as the window's encrypt command, with the built stub as module, and then executed.

#include "cipher/BlockFile.h"
#include "cipher/FileTransform.h"
#include "cipher/core/Cp1251.h"
#include "sfx/ElfImage.h"
#include "support/LanguageEnv.h"
#include "support/Privileged.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t NobodyUser = 65534;
constexpr gid_t NobodyGroup = 65534;

const std::string StubPath = CALYXOR_BUILD_DIR "/calyxor-sfx";
// The tests expect the stub's English whatever language the machine runs in; the one test of
// the Russian asks for it.
const TLanguageEnv English("C");
const std::string ModulePath = CALYXOR_BUILD_DIR "/SFX/default.sfx";

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

bool ImageEnd(const std::string& path, uint64_t& end) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    std::string why;
    const bool ok = ElfImageEnd(fd, fs::file_size(path), end, why);
    ::close(fd);
    return ok;
}

struct TRunResult {
    int Status = -1; // the exit status, or 128 + signal
    std::string Out;
    std::string Err;
};

class SfxTest : public ::testing::Test {
protected:
    TTempDir Dir;     // where the self-extracting file lies and is run; holds nothing else
    TTempDir Scratch; // sources, modules and the runs' standard streams
    const std::string Key = "correct horse";

    // Makes Dir/<name>.exe from data, as the window's encrypt command does.
    std::string MakeSfx(const std::vector<uint8_t>& data, const std::string& key,
                        const std::string& name = "report.doc", std::string module = "") {
        if (module.empty())
            module = ModulePath;
        const auto size = static_cast<int32_t>(fs::file_size(module));
        return MakeSfxSized(data, key, name, module, size);
    }

    std::string MakeSfxSized(const std::vector<uint8_t>& data, const std::string& key,
                             const std::string& name, const std::string& module, int32_t size) {
        const std::string source = Scratch / "source";
        WriteAll(source, data);
        const std::string target = Dir / (name + ".exe");
        const TModulePrefix prefix{module, size};
        EXPECT_TRUE(EncryptFileCore(source, target, EncodeCp1251(key), &prefix, nullptr, nullptr));
        ::chmod(target.c_str(), 0755);
        return target;
    }

    // Runs exe (as the shell would run "./name" in Dir) with input on standard input.
    TRunResult Run(const std::string& exe, const std::vector<std::string>& args,
                   const std::string& input) {
        const std::string in = Scratch / "stdin", out = Scratch / "stdout",
                          err = Scratch / "stderr";
        WriteAll(in, {input.begin(), input.end()});
        std::vector<std::string> argvText{exe};
        argvText.insert(argvText.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argvText)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fin = ::open(in.c_str(), O_RDONLY);
            const int fout = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int ferr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fin < 0 || fout < 0 || ferr < 0 || ::dup2(fin, 0) < 0 || ::dup2(fout, 1) < 0 ||
                ::dup2(ferr, 2) < 0 || ::chdir(Dir.Path.c_str()) != 0)
                ::_exit(126);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        TRunResult r;
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.Out = Text(ReadAll(out));
        r.Err = Text(ReadAll(err));
        return r;
    }
};

// ---- where the stub's own image ends --------------------------------------------------------

TEST(SfxImageTest, builtStubs_endExactlyAtTheirFileSize_alsoWithBytesAppended) {
    TTempDir dir;
    for (const std::string& path : {StubPath, ModulePath}) {
        uint64_t end = 0;
        ASSERT_TRUE(ImageEnd(path, end)) << path;
        EXPECT_EQ(end, fs::file_size(path)) << path;

        auto bytes = ReadAll(path);
        const auto size = bytes.size();
        const auto extra = RandomBytes(3 * BlockSize + 5, 3);
        bytes.insert(bytes.end(), extra.begin(), extra.end());
        WriteAll(dir / "grown", bytes);
        ASSERT_TRUE(ImageEnd(dir / "grown", end));
        EXPECT_EQ(end, size) << path;
    }
}

TEST(SfxImageTest, sectionCountKeptInFirstSectionHeader_isFollowed) {
    // Files with very many sections keep their count in section 0; rewrite the stub that way.
    TTempDir dir;
    auto bytes = ReadAll(ModulePath);
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    Elf64_Shdr first;
    std::memcpy(&first, bytes.data() + eh.e_shoff, sizeof first);
    first.sh_size = eh.e_shnum;
    std::memcpy(bytes.data() + eh.e_shoff, &first, sizeof first);
    eh.e_shnum = 0;
    std::memcpy(bytes.data(), &eh, sizeof eh);
    const auto size = bytes.size();
    bytes.resize(size + 100, 0x5A);
    WriteAll(dir / "many", bytes);
    uint64_t end = 0;
    ASSERT_TRUE(ImageEnd(dir / "many", end));
    EXPECT_EQ(end, size);
}

TEST(SfxImageTest, foreignOrCutFiles_areRefused) {
    TTempDir dir;
    uint64_t end = 0;
    WriteAll(dir / "random", RandomBytes(5000, 4));
    EXPECT_FALSE(ImageEnd(dir / "random", end));
    // Cut inside the header, and cut before the section header table it points to.
    for (std::size_t keep : {std::size_t{40}, std::size_t{100000}}) {
        auto bytes = ReadAll(ModulePath);
        bytes.resize(keep);
        WriteAll(dir / "cut", bytes);
        EXPECT_FALSE(ImageEnd(dir / "cut", end)) << keep;
    }
}

// ---- running a self-extracting file -------------------------------------------------------

TEST_F(SfxTest, restoresTheSourceUnderTheNameItWasStartedAs_forEveryLineEnd) {
    const auto data = DocumentBytes(3 * BlockSize + 123, 1);
    MakeSfx(data, Key);
    // With and without a line end, and with a script's CR LF.
    for (const std::string& input :
         {Key + "\nlines after the key are not read\n", Key + "\r\n", Key}) {
        const auto r = Run("./report.doc.exe", {"-f"}, input);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
    }
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"report.doc", "report.doc.exe"}));

    // The unstripped stub as module: its debugging sections lie at the end of its image.
    fs::remove(Dir / "report.doc");
    const auto small = RandomBytes(1, 2);
    MakeSfx(small, Key, "one.BIN", StubPath);
    const auto r = Run("./one.BIN.exe", {}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "one.BIN"), small);
}

// A key from a pipe whose result looks like noise cannot be asked for again: nothing is
// written, wherever the output was to go, and a file already there is kept even with -f.
TEST_F(SfxTest, wrongKeyFromAPipe_writesNothing_unlessTheCheckIsTurnedOff) {
    const auto data = DocumentBytes(20000, 5);
    MakeSfx(data, Key);
    const std::vector<uint8_t> precious{'k', 'e', 'e', 'p'};
    const std::vector<std::vector<std::string>> refused{
        {}, {"-f"}, {"-o", "-"}, {"-o", "/dev/null"}, {"-f", "-o", Scratch / "copy.doc"}};
    for (const auto& args : refused) {
        SCOPED_TRACE(args.empty() ? "" : args.back());
        WriteAll(Scratch / "copy.doc", precious);
        const auto r = Run("./report.doc.exe", args, "correct horsf\n");
        EXPECT_EQ(r.Status, 1);
        // Said once, and not asked again: there is nobody to type it.
        EXPECT_EQ(r.Err, "report.doc.exe: the key seems to be wrong: the restored file would not "
                         "look like a file. Nothing was written (--no-key-check restores it "
                         "anyway).\n");
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
        EXPECT_EQ(ReadAll(Scratch / "copy.doc"), precious);
    }
    WriteAll(Dir / "report.doc", precious);
    auto r = Run("./report.doc.exe", {"-f"}, "correct horsf\n");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(ReadAll(Dir / "report.doc"), precious);

    // Turned off, the wrong key writes other bytes of the same length, as it always could.
    r = Run("./report.doc.exe", {"-f", "--no-key-check"}, "correct horsf\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto got = ReadAll(Dir / "report.doc");
    EXPECT_EQ(got.size(), data.size());
    EXPECT_NE(got, data);
}

TEST_F(SfxTest, outputOption_existingFileIsKeptUnlessForced) {
    const auto data = DocumentBytes(5000, 6);
    MakeSfx(data, Key);

    // -o to a file elsewhere, and to a folder (the restored name goes inside it).
    auto r = Run("./report.doc.exe", {"-o", Scratch / "elsewhere.bin"}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Scratch / "elsewhere.bin"), data);
    r = Run("./report.doc.exe", {"-o", Scratch.Path}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Scratch / "report.doc"), data);

    // An existing file is never overwritten without -f, and nothing is left beside it.
    const std::vector<uint8_t> precious{'k', 'e', 'e', 'p'};
    WriteAll(Dir / "report.doc", precious);
    r = Run("./report.doc.exe", {}, Key + "\n");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Err.find("already exists"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc"), precious);
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"report.doc", "report.doc.exe"}));

    r = Run("./report.doc.exe", {"-f"}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);

    // -f writes through a link to the file it leads to, and keeps the link.
    fs::create_symlink(Scratch / "elsewhere.bin", Dir / "link");
    WriteAll(Scratch / "elsewhere.bin", precious);
    r = Run("./report.doc.exe", {"-f", "-o", "link"}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));
    EXPECT_EQ(ReadAll(Scratch / "elsewhere.bin"), data);
    fs::remove(Dir / "link");

    // Not even -f lets it replace itself: that would destroy the only encrypted copy.
    const auto before = ReadAll(Dir / "report.doc.exe");
    r = Run("./report.doc.exe", {"-f", "-o", "report.doc.exe"}, Key + "\n");
    EXPECT_NE(r.Status, 0);
    EXPECT_EQ(ReadAll(Dir / "report.doc.exe"), before);

    r = Run("./report.doc.exe", {"--bogus"}, Key + "\n");
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("--help"), std::string::npos) << r.Err;
}

// The output's name is checked before the key is asked for, but a file may take that name while
// the user types: the finished output must then fail to go in place, not replace it.
TEST_F(SfxTest, outputThatAppearsWhileTheKeyIsAsked_isKeptAndTheRunFails) {
    MakeSfx(DocumentBytes(3000, 8), Key);
    int in[2];
    ASSERT_EQ(::pipe(in), 0);
    const std::string err = Scratch / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int ferr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (ferr < 0 || ::dup2(in[0], 0) < 0 || ::dup2(ferr, 2) < 0 ||
            ::chdir(Dir.Path.c_str()) != 0)
            ::_exit(126);
        ::close(in[1]);
        ::execl("./report.doc.exe", "./report.doc.exe", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    // Waits until the stub blocks reading the key from descriptor 0.
    const std::string syscall = "/proc/" + std::to_string(pid) + "/syscall";
    bool reading = false;
    for (int k = 0; k < 500 && !reading; ++k) {
        std::ifstream f(syscall);
        std::string number, fd;
        reading = (f >> number >> fd) && number == "0" && fd == "0x0";
        if (!reading)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<uint8_t> precious{'m', 'i', 'n', 'e'};
    WriteAll(Dir / "report.doc", precious);
    const std::string line = Key + "\n";
    EXPECT_EQ(::write(in[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    ::close(in[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(reading) << "the stub never waited for its key";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    // The output is made once the key has been judged, so the new file is found then.
    EXPECT_NE(Text(ReadAll(err)).find("'report.doc' already exists and was left as it is"),
              std::string::npos)
        << Text(ReadAll(err));
    EXPECT_EQ(ReadAll(Dir / "report.doc"), precious);
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"report.doc", "report.doc.exe"}));
}

// The no-replace rename at the end: a file that takes the output's name while the payload is
// being restored is kept, and the run fails.
TEST_F(SfxTest, outputThatAppearsWhileRestoring_isKeptAndTheRunFails) {
    MakeSfx(DocumentBytes(64u << 20, 9), Key);
    const std::string err = Scratch / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int ferr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fin = ::open((Scratch / "key").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        const std::string line = Key + "\n";
        if (ferr < 0 || fin < 0 || ::write(fin, line.data(), line.size()) < 0 ||
            ::lseek(fin, 0, SEEK_SET) != 0 || ::dup2(fin, 0) < 0 || ::dup2(ferr, 2) < 0 ||
            ::chdir(Dir.Path.c_str()) != 0)
            ::_exit(126);
        ::execl("./report.doc.exe", "./report.doc.exe", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Waits until the stub holds its unnamed output open in the folder, then takes the name.
    bool writing = false;
    for (int k = 0; k < 3000 && !writing; ++k) {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            writing = writing || (target.starts_with(Dir.Path) &&
                                  target.find("report.doc.exe") == std::string::npos);
        }
        if (!writing)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const std::vector<uint8_t> precious{'m', 'i', 'n', 'e'};
    WriteAll(Dir / "report.doc", precious);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(writing) << "the stub was never seen writing";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << Text(ReadAll(err));
    EXPECT_NE(Text(ReadAll(err)).find("appeared while the file was being restored"),
              std::string::npos)
        << Text(ReadAll(err));
    EXPECT_EQ(ReadAll(Dir / "report.doc"), precious);
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"report.doc", "report.doc.exe"}));
}

TEST_F(SfxTest, unwritableOrUnnamedOutput_failsWithAMessageAndNoFile) {
    const auto data = DocumentBytes(100, 7);
    MakeSfx(data, Key);
    auto r = Run("./report.doc.exe", {"-o", Dir / "missing/out.bin"}, Key + "\n");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("does not exist"), std::string::npos) << r.Err;

    // A copy renamed without ".exe" cannot name its output by itself, but -o still works.
    fs::rename(Dir / "report.doc.exe", Dir / "report");
    r = Run("./report", {}, Key + "\n");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("-o"), std::string::npos) << r.Err;
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report"});
    r = Run("./report", {"-o", "named.doc"}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "named.doc"), data);
}

TEST_F(SfxTest, deviceOutput_isWrittenThroughNeverReplaced) {
    MakeSfx(DocumentBytes(2 * BlockSize, 14), Key);
    auto r = Run("./report.doc.exe", {"-o", "/dev/null"}, Key + "\n");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A private node of the full device: the write fails, and the node must still be there.
    const std::string full = Scratch / "full";
    SKIP_UNLESS_PRIVILEGED(::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) == 0,
                           "cannot make a device node here");
    r = Run("./report.doc.exe", {"-f", "-o", full}, Key + "\n");
    EXPECT_EQ(r.Status, 1);
    EXPECT_FALSE(r.Err.empty());
    EXPECT_TRUE(fs::is_character_file(full));
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
}

// Standard output and the names of descriptors are the descriptors themselves, with or without
// -f: a log they lead to is appended to, never replaced by a renamed file.
TEST_F(SfxTest, standardOutputAndDescriptorNames_areWrittenAsTheyAre) {
    const auto data = DocumentBytes(BlockSize + 77, 15);
    MakeSfx(data, Key);
    auto r = Run("./report.doc.exe", {"-o", "-"}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Text(data));
    const std::string log = Scratch / "log";
    for (const char* force : {"", "-f"}) {
        for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "-"}) {
            SCOPED_TRACE(std::string(name) + " " + force);
            WriteAll(log, {'x'});
            r = Run("/bin/bash",
                    {"-c", std::string("./report.doc.exe ") + force + " -o " + name + " >> \"$0\"",
                     log},
                    Key + "\n");
            ASSERT_EQ(r.Status, 0) << r.Err;
            EXPECT_EQ(Text(ReadAll(log)), "x" + Text(data));
        }
    }
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
}

// With standard input closed there is no key to read, and with standard output closed nothing
// to write to: both are said, and nothing is written.
TEST_F(SfxTest, closedStandardInputOrOutput_failsWithAMessage) {
    MakeSfx(DocumentBytes(100, 16), Key);
    auto r = Run("/bin/bash", {"-c", "exec 0<&-; ./report.doc.exe"}, "");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("standard input is closed"), std::string::npos) << r.Err;
    r = Run("/bin/bash", {"-c", "exec 1>&-; ./report.doc.exe -o -"}, Key + "\n");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("standard output"), std::string::npos) << r.Err;
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
}

TEST_F(SfxTest, moduleThatGrewAfterItsSizeWasTaken_contributesOnlyThatSize) {
    const std::string module = Scratch / "grown.sfx";
    fs::copy_file(ModulePath, module);
    const auto size = static_cast<int32_t>(fs::file_size(module));
    {
        auto bytes = ReadAll(module);
        const auto extra = RandomBytes(7777, 8);
        bytes.insert(bytes.end(), extra.begin(), extra.end());
        WriteAll(module, bytes);
    }
    const auto data = DocumentBytes(BlockSize + 1, 9);
    const std::string sfx = MakeSfxSized(data, Key, "report.doc", module, size);
    EXPECT_EQ(fs::file_size(sfx), static_cast<uintmax_t>(size) + data.size());

    const auto r = Run("./report.doc.exe", {}, Key + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
}

TEST_F(SfxTest, bareModule_saysThereIsNothingToExtract) {
    fs::copy_file(ModulePath, Dir / "empty.exe");
    for (const std::string& exe : {StubPath, std::string("./empty.exe")}) {
        const auto r = Run(exe, {}, Key + "\n");
        EXPECT_EQ(r.Status, 1) << exe;
        EXPECT_NE(r.Err.find("nothing to extract"), std::string::npos) << r.Err;
    }
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"empty.exe"});
}

TEST_F(SfxTest, keyText_isTakenAsTheEngineTakesIt) {
    const auto data = DocumentBytes(3000, 10);
    // Cyrillic text gives the same CP1251 bytes as in the window.
    const std::string cyrillic = "пароль Ёжик №1";
    MakeSfx(data, cyrillic);
    auto r = Run("./report.doc.exe", {}, cyrillic + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
    fs::remove(Dir / "report.doc");

    // Text CP1251 cannot hold, and an empty key, are refused before anything is written.
    for (const std::string& bad : {std::string("密码\n"), std::string("\n"), std::string()}) {
        r = Run("./report.doc.exe", {}, bad);
        EXPECT_EQ(r.Status, 1) << bad;
        EXPECT_FALSE(r.Err.empty());
        EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
    }

    // A key of 300 characters works as its first 255.
    const std::string longKey(300, 'q');
    MakeSfx(data, longKey.substr(0, 255));
    r = Run("./report.doc.exe", {}, longKey + "\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
}

// The soft core-file limit of a process, from /proc; -1 when it cannot be read.
long long CoreLimit(pid_t pid) {
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    for (std::string line; std::getline(limits, line);) {
        if (line.rfind("Max core file size", 0) != 0)
            continue;
        const std::string soft = line.substr(26, line.find_first_of(' ', 26) - 26);
        return soft == "unlimited" ? LLONG_MAX : std::stoll(soft);
    }
    return -1;
}

// While the stub waits for the key, and then holds it, no core file may take the key along,
// and no other process of the same user may read its memory (a process that is not dumpable
// has its /proc entries owned by root, which bars them).
TEST_F(SfxTest, whileItHoldsTheKey_noCoreDumpAndNoOtherProcessOfTheUserReadsIt) {
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    const bool root = ::geteuid() == 0;
    if (!root && core.rlim_max == 0)
        GTEST_SKIP() << "core files are already off for every process here";
    const std::string exe = MakeSfx(DocumentBytes(1000, 13), Key);
    if (root) {
        fs::permissions(Dir.Path,
                        fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        ::chmod(exe.c_str(), 0755);
    }
    int in[2];
    ASSERT_EQ(::pipe(in), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        // A limit the stub must lower itself, as a user's shell may have raised it.
        const rlimit most{root ? RLIM_INFINITY : core.rlim_max,
                          root ? RLIM_INFINITY : core.rlim_max};
        ::setrlimit(RLIMIT_CORE, &most);
        if (root && (::setgid(NobodyGroup) != 0 || ::setuid(NobodyUser) != 0))
            ::_exit(125);
        ::execl(exe.c_str(), exe.c_str(), "-o", "/dev/null", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    // Looked at once it is the stub, waiting on the pipe for the key: before that, the child is
    // still this test's copy with the limit and owner it was started with.
    const std::string proc = "/proc/" + std::to_string(pid);
    bool waiting = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!waiting && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::error_code ec;
        const bool isStub = fs::read_symlink(proc + "/exe", ec) == fs::path(exe);
        std::ifstream stat(proc + "/stat");
        std::string statLine;
        std::getline(stat, statLine);
        const auto close = statLine.rfind(')');
        waiting = isStub && close != std::string::npos && statLine.substr(close + 2, 1) == "S";
    }
    EXPECT_TRUE(waiting) << "the stub never waited for its key";
    const bool limited = CoreLimit(pid) == 0;
    struct stat st {};
    const bool hidden = !root || (::stat((proc + "/status").c_str(), &st) == 0 && st.st_uid == 0);
    const std::string key = Key + "\n";
    EXPECT_EQ(::write(in[1], key.data(), key.size()), static_cast<ssize_t>(key.size()));
    ::close(in[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(limited) << "core files were not turned off";
    EXPECT_TRUE(hidden) << "the process stayed dumpable";
}

struct TTypedRun {
    int Status = -1;
    std::string Screen; // everything the terminal showed
    bool EchoBack = false;
};

// Runs Dir/report.doc.exe on a terminal of its own, typing keys[i] at its i-th key prompt.
TTypedRun RunTyped(const std::string& dir, const std::vector<std::string>& keys) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (::chdir(dir.c_str()) == 0)
            ::execl("./report.doc.exe", "./report.doc.exe", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    TTypedRun r;
    if (pid < 0)
        return r;
    std::size_t typed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL); // a prompt that never came: fail rather than wait forever
            break;
        }
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break; // the program closed the terminal
        r.Screen.append(buf, static_cast<std::size_t>(n));
        std::size_t prompts = 0;
        for (auto at = r.Screen.find("Key: "); at != std::string::npos;
             at = r.Screen.find("Key: ", at + 1))
            ++prompts;
        for (; typed < prompts && typed < keys.size(); ++typed) {
            const std::string line = keys[typed] + "\r";
            if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                break;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    termios after{};
    r.EchoBack = ::tcgetattr(master, &after) == 0 && (after.c_lflag & ECHO) != 0;
    ::close(master);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

// On a terminal the key is typed without echo; one whose result looks like noise is most
// likely mistyped and is asked for again, three tries in all.
TEST_F(SfxTest, onATerminal_theKeyIsNotEchoed_andAWrongOneIsAskedForAgain) {
    const auto data = DocumentBytes(4000, 12);
    MakeSfx(data, Key);
    const std::string wrong = "correct horsf";
    struct TCase {
        std::vector<std::string> Typed;
        int Status;
        std::size_t Retypes; // how many times it asked again
    };
    const TCase cases[] = {
        {{Key}, 0, 0},
        {{wrong, Key}, 0, 1},
        {{wrong, "x", Key}, 0, 2},
        {{wrong, wrong, wrong, Key}, 1, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Typed.size());
        fs::remove(Dir / "report.doc");
        const TTypedRun r = RunTyped(Dir.Path, c.Typed);
        EXPECT_EQ(r.Status, c.Status) << r.Screen;
        EXPECT_EQ(r.Screen.find(Key), std::string::npos) << r.Screen;
        EXPECT_EQ(r.Screen.find(wrong), std::string::npos) << r.Screen;
        std::size_t retypes = 0;
        for (auto at = r.Screen.find("Type it again"); at != std::string::npos;
             at = r.Screen.find("Type it again", at + 1))
            ++retypes;
        EXPECT_EQ(retypes, c.Retypes) << r.Screen;
        EXPECT_TRUE(r.EchoBack);
        if (c.Status == 0) {
            EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
        } else {
            EXPECT_NE(r.Screen.find("Nothing was written"), std::string::npos) << r.Screen;
            EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
        }
    }
}

TEST_F(SfxTest, help_explainsUsageAndWhatTheKeyCheckCanTell) {
    MakeSfx(RandomBytes(10, 13), Key);
    const auto r = Run("./report.doc.exe", {"--help"}, "");
    EXPECT_EQ(r.Status, 0);
    for (const char* want : {"-o PATH", "-f", "'report.doc'", "--no-key-check", "under 64"})
        EXPECT_NE(r.Out.find(want), std::string::npos) << want << "\n" << r.Out;
    // Every self-extracting file is a copy of the module: the licence's notice ends its help.
    EXPECT_TRUE(r.Out.ends_with("\nCopyright (c) 2026 The Calyxor developers. MIT licence: free to "
                                "use, copy and pass on with this notice.\n"))
        << r.Out;
    EXPECT_EQ(Dir.Names(), std::vector<std::string>{"report.doc.exe"});
}

// The recipient's language: help, errors of the command line and of the key, and the outcome,
// with the names put where the translation wants them.
TEST_F(SfxTest, speaksRussianToARussianLocaleOnly) {
    MakeSfx(RandomBytes(10, 14), Key);
    for (const bool russian : {true, false}) {
        SCOPED_TRACE(russian ? "ru_RU.UTF-8" : "en_US.UTF-8");
        const TLanguageEnv language(russian ? "ru_RU.UTF-8" : "en_US.UTF-8");
        auto r = Run("./report.doc.exe", {"--help"}, "");
        EXPECT_TRUE(
            r.Out.starts_with(russian ? "Запуск: report.doc.exe [-o ПУТЬ] [-f] [--no-key-check]\n"
                                      : "Usage: report.doc.exe [-o PATH] [-f] [--no-key-check]\n"))
            << r.Out;
        EXPECT_NE(r.Out.find(russian ? "записывается как 'report.doc' в текущую папку"
                                     : "written as 'report.doc' in the current folder"),
                  std::string::npos)
            << r.Out;
        r = Run("./report.doc.exe", {"-x"}, "");
        EXPECT_EQ(r.Status, 2);
        EXPECT_EQ(r.Err, russian ? "report.doc.exe: неизвестный параметр '-x'\n"
                                   "Справка: 'report.doc.exe --help'.\n"
                                 : "report.doc.exe: unknown option '-x'\n"
                                   "Try 'report.doc.exe --help'.\n");
        // The engine refuses the key; the stub adds its own sentence.
        r = Run("./report.doc.exe", {"-f"}, "ключ 中\n");
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err, russian ? "report.doc.exe: Ключ содержит «中» (U+4E2D), а этот знак "
                                   "нельзя использовать в ключе: используйте латинские или "
                                   "русские буквы, цифры и обычные знаки. Ничего не записано.\n"
                                 : "report.doc.exe: The key contains \"中\" (U+4E2D), which "
                                   "cannot be used in a key: use Latin or Cyrillic letters, "
                                   "digits and common signs. Nothing was written.\n");
        r = Run("./report.doc.exe", {"-f"}, Key + "\n");
        EXPECT_EQ(r.Status, 0);
        EXPECT_EQ(r.Err, russian ? "Восстановлен report.doc (байт: 10).\n"
                                 : "Restored report.doc (10 bytes).\n");
    }
}

} // namespace
