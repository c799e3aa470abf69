// SPDX-License-Identifier: MIT
// Outputs at the edges, provoked for real against the built program: runs killed part-way, two
// runs on one target, standard output that is the source, descriptors named as files, readers
// that leave, descriptors closed at start. Whatever happens, a target holds either what it
// held before or the whole new result, and no failure is reported as success.

#include "cipher/BlockWriter.h"
#include "cipher/FileTransform.h"
#include "cipher/HiddenNames.h"
#include "cipher/WriteOut.h"
#include "cipher/core/Cipher.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/Privileged.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace fs = std::filesystem;

namespace {

const std::string Calyxor = CALYXOR_BUILD_DIR "/calyxor";
const std::string Cli = CALYXOR_BUILD_DIR "/calyxor-cli";
const std::string Key = "correct horse";

// Starts argv with its descriptors arranged by prepare, which runs in the child just before
// the program: what a shell's redirections would do, and what a shell cannot (closing a
// standard descriptor before exec, making one non-blocking).
pid_t Start(const std::vector<std::string>& argv, const std::function<void()>& prepare) {
    const std::vector<char*> args = ExecArgs(argv);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        prepare();
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status, 128 + the signal, or -1 when the program was still running after the
// deadline (it is killed then).
int Finish(pid_t pid, int seconds = 60) {
    int status = 0;
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ::usleep(10 * 1000);
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

void Redirect(const std::string& path, int fd, int flags) {
    const int got = ::open(path.c_str(), flags, 0644);
    if (got < 0 || ::dup2(got, fd) < 0)
        ::_exit(126);
    ::close(got);
}

// Makes this process's file system look like one without O_TMPFILE (as some network and FUSE
// file systems are): every open that asks for an unnamed file fails with EOPNOTSUPP. With
// noLinks, it cannot link or rename without replacing either, as FAT through FUSE: link and
// linkat fail with EPERM, renameat2 with RENAME_NOREPLACE with EINVAL.
bool RefuseUnnamedFiles(bool noLinks = false) {
#if defined(__x86_64__)
    constexpr uint32_t Unnamed = O_TMPFILE & ~O_DIRECTORY;
    auto load = [](std::size_t offset) -> sock_filter {
        return BPF_STMT(BPF_LD | BPF_W | BPF_ABS, static_cast<uint32_t>(offset));
    };
    auto fail = [](int err) -> sock_filter {
        return BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<uint32_t>(err));
    };
    const sock_filter allow = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    std::vector<sock_filter> filter{
        load(offsetof(seccomp_data, arch)),
        sock_filter BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        allow,
        // The call, with a flag of one argument: fails with err when the flag is set.
        load(offsetof(seccomp_data, nr)),
        sock_filter BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        load(offsetof(seccomp_data, args[2])),
        sock_filter BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, Unnamed, 0, 1),
        fail(EOPNOTSUPP),
    };
    if (noLinks) {
        for (int nr : {__NR_link, __NR_linkat}) {
            filter.push_back(load(offsetof(seccomp_data, nr)));
            filter.push_back(
                sock_filter BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nr), 0, 1));
            filter.push_back(fail(EPERM));
        }
        filter.push_back(load(offsetof(seccomp_data, nr)));
        filter.push_back(sock_filter BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 3));
        filter.push_back(load(offsetof(seccomp_data, args[4])));
        filter.push_back(sock_filter BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, RENAME_NOREPLACE, 0, 1));
        filter.push_back(fail(EINVAL));
    }
    filter.push_back(allow);
    sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
    (void)noLinks;
    return false;
#endif
}

class EdgeTest : public ::testing::Test {
protected:
    void SetUp() override { BuildPrimeTable(); }

    std::vector<uint8_t> Transformed(const std::string& source, bool encrypt,
                                     const std::string& key = Key) {
        const std::string ref = Dir / "reference";
        const std::vector<uint8_t> bytes(key.begin(), key.end());
        EXPECT_TRUE(encrypt ? EncryptFileCore(source, ref, bytes, {}, nullptr, nullptr)
                            : DecryptFileCore(source, ref, bytes, nullptr, nullptr));
        auto out = ReadAll(ref);
        fs::remove(ref);
        return out;
    }

    // Runs calyxor VERB Key SOURCE TARGET through bash, so that the test can give it the
    // redirections a user would; stderr is returned in Err.
    TRunResult Shell(const std::string& script, int timeout = 60) {
        TRunOptions opt;
        opt.Cwd = Dir.Path;
        opt.TimeoutSeconds = timeout;
        return RunProgram({"/bin/bash", "-c", script, Calyxor, Key}, opt);
    }

    TTempDir Dir;
};

// ---- whole or absent ------------------------------------------------------------------------

// The descriptor through which pid writes its unnamed temporary file in dir, once it holds
// bytes; "" if there is none yet.
std::string TemporaryBeingWritten(pid_t pid, const std::string& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string to = fs::read_symlink(e.path(), ec).string();
        struct stat st {};
        if (to.rfind(dir + "/", 0) == 0 && to.find("(deleted)") != std::string::npos &&
            ::stat(e.path().c_str(), &st) == 0 && st.st_size > 0)
            return e.path();
    }
    return "";
}

TEST_F(EdgeTest, killedMidRun_leavesTheOldTargetOrNone_neverAPartialFile) {
    const std::string src = Dir / "big";
    WriteAll(src, RandomBytes(96 << 20, 1));
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    for (bool targetExisted : {true, false}) {
        SCOPED_TRACE(targetExisted ? "existing target" : "new target");
        const std::string dst = Dir / "big.ash";
        if (targetExisted)
            WriteAll(dst, old);
        else
            fs::remove(dst);
        const pid_t pid = Start({Calyxor, "ENC", Key, src, dst}, [] {});
        bool caught = false;
        for (int k = 0; k < 6000 && !caught; ++k) {
            caught = !TemporaryBeingWritten(pid, Dir.Path).empty();
            if (!caught)
                ::usleep(5 * 1000);
        }
        ::kill(pid, SIGKILL);
        EXPECT_EQ(Finish(pid), 128 + SIGKILL);
        ASSERT_TRUE(caught) << "the run was never seen writing";
        if (targetExisted)
            EXPECT_EQ(ReadAll(dst), old);
        else
            EXPECT_FALSE(PathExists(dst));
        const std::vector<std::string> expected = targetExisted
                                                      ? std::vector<std::string>{"big", "big.ash"}
                                                      : std::vector<std::string>{"big"};
        EXPECT_EQ(Dir.Names(), expected) << "nothing may be left beside the target";
    }
}

// Where no unnamed file can be made, the temporary file has a hidden name: it must go on a
// failure and on SIGINT, SIGTERM and SIGHUP, and the old target must stay.
TEST_F(EdgeTest, withoutUnnamedFiles_theHiddenTemporaryGoesOnFailuresAndSignals) {
    // Tried in a child: the filter must never reach the test's own process.
    SKIP_UNLESS_PRIVILEGED(
        Finish(Start({"/bin/true"}, [] { ::_exit(RefuseUnnamedFiles() ? 0 : 1); })) == 0,
        "no seccomp filter can be installed here");
    const std::string small = Dir / "small";
    WriteAll(small, RandomBytes(30000, 12));
    const auto expected = Transformed(small, true);
    const auto prepare = [] {
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            ::signal(sig, SIG_DFL);
        if (!RefuseUnnamedFiles())
            ::_exit(125);
    };
    EXPECT_EQ(Finish(Start({Calyxor, "ENC", Key, small, Dir / "small.ash"}, prepare)), 0);
    EXPECT_EQ(ReadAll(Dir / "small.ash"), expected);
    // A failure: a file-size limit cuts the writes short.
    const pid_t limited = Start({Calyxor, "ENC", Key, small, Dir / "cut.ash"}, [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{15000, 15000};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        prepare();
    });
    EXPECT_EQ(Finish(limited), 1);

    const std::string big = Dir / "big";
    WriteAll(big, RandomBytes(96 << 20, 13));
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    WriteAll(Dir / "big.ash", old);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const pid_t pid = Start({Calyxor, "ENC", Key, big, Dir / "big.ash"}, prepare);
        bool caught = false;
        for (int k = 0; k < 6000 && !caught; ++k) {
            for (const auto& e : fs::directory_iterator(Dir.Path))
                caught = caught || (e.path().filename().string().rfind(".calyxor-", 0) == 0 &&
                                    fs::file_size(e.path()) > 0);
            if (!caught)
                ::usleep(5 * 1000);
        }
        ::kill(pid, sig);
        EXPECT_EQ(Finish(pid), 128 + sig);
        ASSERT_TRUE(caught) << "the run was never seen writing";
        EXPECT_EQ(ReadAll(Dir / "big.ash"), old);
        EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"big", "big.ash", "small", "small.ash"}));
    }
}

TEST_F(EdgeTest, twoRunsOnOneTarget_leaveOneCompleteResult) {
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(24 << 20, 2));
    const auto first = Transformed(src, true, Key);
    const auto second = Transformed(src, true, "another key");
    const std::string dst = Dir / "out.ash";
    const pid_t a = Start({Calyxor, "ENC", Key, src, dst}, [] {});
    const pid_t b = Start({Calyxor, "ENC", "another key", src, dst}, [] {});
    EXPECT_EQ(Finish(a), 0);
    EXPECT_EQ(Finish(b), 0);
    const auto got = ReadAll(dst);
    EXPECT_TRUE(got == first || got == second) << "a mixture of both runs";
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"out.ash", "src"}));
}

TEST_F(EdgeTest, replacedFile_keepsItsMode_newFileGetsTheUmasks_links_areReplaced) {
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(5000, 3));
    const auto expected = Transformed(src, true);
    WriteAll(Dir / "kept", {1});
    fs::permissions(Dir / "kept", fs::perms::owner_read | fs::perms::owner_write);
    WriteAll(Dir / "other", {7, 7});
    fs::create_symlink(Dir / "other", Dir / "link");
    const auto r = Shell("umask 027 && \"$0\" ENC \"$1\" src kept && \"$0\" ENC \"$1\" src new && "
                         "\"$0\" ENC \"$1\" src link");
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    auto mode = [&](const std::string& name) { return fs::status(Dir / name).permissions(); };
    using P = fs::perms;
    EXPECT_EQ(mode("kept"), P::owner_read | P::owner_write);
    EXPECT_EQ(mode("new"), P::owner_read | P::owner_write | P::group_read);
    EXPECT_EQ(ReadAll(Dir / "kept"), expected);
    // The link itself is replaced; the file it led to is not written through it.
    EXPECT_FALSE(fs::is_symlink(Dir / "link"));
    EXPECT_EQ(ReadAll(Dir / "link"), expected);
    EXPECT_EQ(ReadAll(Dir / "other"), (std::vector<uint8_t>{7, 7}));

    // A self-extracting file is a program from the moment it appears.
    const mode_t mask = ::umask(022);
    WriteAll(Dir / "m.sfx", RandomBytes(100, 4));
    const std::vector<uint8_t> key(Key.begin(), Key.end());
    const TModulePrefix module{Dir / "m.sfx", 100};
    EXPECT_TRUE(EncryptFileCore(src, Dir / "src.exe", key, &module, nullptr, nullptr));
    ::umask(mask);
    EXPECT_EQ(mode("src.exe"),
              P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec);
}

TEST_F(EdgeTest, mayNotReplace_refusesAnExistingFileNamingIt_andWritesANewOne) {
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(3000, 5));
    const std::vector<uint8_t> key(Key.begin(), Key.end());
    WriteAll(Dir / "there", {1, 2});
    fs::create_symlink(Dir / "nowhere", Dir / "dangling");
    for (const std::string name : {"there", "dangling"}) {
        try {
            (void)EncryptFileCore(src, Dir / name, key, {}, nullptr, nullptr, {false});
            ADD_FAILURE() << name << " was replaced";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, EEXIST);
            EXPECT_NE(e.Message().find(Dir / name), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(ReadAll(Dir / "there"), (std::vector<uint8_t>{1, 2}));
    EXPECT_TRUE(fs::is_symlink(Dir / "dangling"));
    EXPECT_TRUE(EncryptFileCore(src, Dir / "fresh", key, {}, nullptr, nullptr, {false}));
    EXPECT_EQ(ReadAll(Dir / "fresh"), Transformed(src, true));
}

// Writing into the file itself would destroy it the moment the run failed: where no file can
// be made beside it, the target is refused with the reason and left as it was, by every program.
TEST_F(EdgeTest, writableFileInAReadOnlyFolder_isRefusedAndKept) {
    SKIP_UNLESS_PRIVILEGED(::geteuid() == 0, "needs root to switch to the plain user 'nobody'");
    fs::permissions(Dir.Path, fs::perms::all);
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(30000, 6));
    WriteAll(Dir / "key", {'k', 'e', 'y', '\n'});
    for (const char* name : {"src", "key"})
        fs::permissions(Dir / name, fs::perms::all);
    fs::create_directory(Dir / "ro");
    const std::string dst = Dir / "ro/out.ash";
    WriteAll(dst, {1, 2, 3});
    ASSERT_EQ(::chown(dst.c_str(), NobodyId, NobodyId), 0);
    fs::permissions(Dir / "ro",
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    TRunOptions asNobody;
    asNobody.User = NobodyId;
    for (const auto& argv : {std::vector<std::string>{Calyxor, "ENC", Key, src, dst},
                             {Cli, "encrypt", "-f", "--key-file", Dir / "key", "-o", dst, src},
                             {Cli, "decrypt", "-f", "--key-file", Dir / "key", "-o", dst, src}}) {
        SCOPED_TRACE(argv[1]);
        const auto r = RunProgram(argv, asNobody);
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_NE(r.Err.find("cannot be written to, so the file cannot be replaced safely"),
                  std::string::npos)
            << r.Err;
        EXPECT_EQ(ReadAll(dst), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(fs::file_size(src), 30000u);
    }
}

// A name that another process creates while a run without -f goes on is theirs: the run fails
// naming it and keeps it, on every kind of file system.
TEST_F(EdgeTest, aNameCreatedMidRunWithoutForce_isKept) {
    const std::string big = Dir / "big";
    WriteAll(big, RandomBytes(96 << 20, 14));
    WriteAll(Dir / "key", {'k', '\n'});
    const std::string dst = Dir / "out.ash";
    const std::vector<uint8_t> theirs{'t', 'h', 'e', 'i', 'r', 's'};
    for (int features : {0, 1, 2}) { // all, no O_TMPFILE, nor links and no-replace renames
        SCOPED_TRACE(features);
        const pid_t pid = Start({Cli, "encrypt", "--key-file", Dir / "key", "-o", dst, big}, [&] {
            if (features > 0 && !RefuseUnnamedFiles(features == 2))
                ::_exit(125);
        });
        bool caught = false;
        for (int k = 0; k < 6000 && !caught; ++k) {
            caught = !TemporaryBeingWritten(pid, Dir.Path).empty();
            for (const auto& e : fs::directory_iterator(Dir.Path))
                caught = caught || (e.path().filename().string().rfind(".calyxor-", 0) == 0 &&
                                    fs::file_size(e.path()) > 0);
            if (!caught)
                ::usleep(2 * 1000);
        }
        WriteAll(dst, theirs);
        const int status = Finish(pid);
        ASSERT_TRUE(caught) << "the run was never seen writing";
        EXPECT_EQ(status, 1);
        EXPECT_EQ(ReadAll(dst), theirs);
        EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"big", "key", "out.ash"}));
        fs::remove(dst);
    }
}

// FAT through FUSE and some network file systems can neither link nor rename without
// replacing: a new target still comes whole or not at all, and an existing one stays until
// the new one is complete.
TEST_F(EdgeTest, withoutLinksOrNoReplaceRenames_targetsAreWholeOrAbsent) {
    SKIP_UNLESS_PRIVILEGED(
        Finish(Start({"/bin/true"}, [] { ::_exit(RefuseUnnamedFiles(true) ? 0 : 1); })) == 0,
        "no seccomp filter can be installed here");
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(30000, 15));
    const auto expected = Transformed(src, true);
    WriteAll(Dir / "key", {'c', 'o', 'r', 'r', 'e', 'c', 't', ' ', 'h', 'o', 'r', 's', 'e', '\n'});
    const auto prepare = [] {
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            ::signal(sig, SIG_DFL);
        if (!RefuseUnnamedFiles(true))
            ::_exit(125);
    };
    auto run = [&](
                   std::vector<std::string> args, const std::function<void()>& more = [] {}) {
        args.insert(args.begin(), {Cli, "encrypt", "--key-file", Dir / "key"});
        return Start(args, [&] {
            more();
            prepare();
        });
    };
    // New, and replacing with -f.
    EXPECT_EQ(Finish(run({"-o", Dir / "new.ash", src})), 0);
    EXPECT_EQ(ReadAll(Dir / "new.ash"), expected);
    WriteAll(Dir / "old.ash", {'o', 'l', 'd'});
    EXPECT_EQ(Finish(run({"-f", "-o", Dir / "old.ash", src})), 0);
    EXPECT_EQ(ReadAll(Dir / "old.ash"), expected);
    // Cut short by a file-size limit: nothing under the name, nothing beside it.
    EXPECT_EQ(Finish(run({"-o", Dir / "cut.ash", src},
                         [] {
                             ::signal(SIGXFSZ, SIG_IGN);
                             const rlimit lim{15000, 15000};
                             ::setrlimit(RLIMIT_FSIZE, &lim);
                         })),
              1);
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"key", "new.ash", "old.ash", "src"}));
    // Stopped by a signal: a new name is not left behind, an old file stays as it was.
    const std::string big = Dir / "big";
    WriteAll(big, RandomBytes(96 << 20, 16));
    WriteAll(Dir / "old.ash", {'o', 'l', 'd'});
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "-f over an old file" : "a new name");
        const std::string dst = force ? Dir / "old.ash" : Dir / "big.ash";
        const pid_t pid = force ? run({"-f", "-o", dst, big}) : run({"-o", dst, big});
        bool caught = false;
        for (int k = 0; k < 6000 && !caught; ++k) {
            for (const auto& e : fs::directory_iterator(Dir.Path))
                caught = caught || (e.path().filename().string().rfind(".calyxor-", 0) == 0 &&
                                    fs::file_size(e.path()) > 0);
            if (!caught)
                ::usleep(2 * 1000);
        }
        ::kill(pid, SIGTERM);
        EXPECT_EQ(Finish(pid), 128 + SIGTERM);
        ASSERT_TRUE(caught) << "the run was never seen writing";
        EXPECT_EQ(ReadAll(Dir / "old.ash"), (std::vector<uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(Dir.Names(),
                  (std::vector<std::string>{"big", "key", "new.ash", "old.ash", "src"}));
    }
}

// The order that makes a replaced target survive a power cut: the new file's bytes reach the
// device before its name replaces the old one, and the folder's new entry right after.
TEST_F(EdgeTest, theTargetIsFlushedBeforeItsRename_andItsFolderAfter) {
    SKIP_UNLESS_PRIVILEGED(CanPtrace(), "strace cannot trace here (ptrace is not allowed)");
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(3 * BatchSize + 100, 17));
    WriteAll(Dir / "key", {'k', '\n'});
    const std::string folder = fs::canonical(Dir.Path).string();
    const std::string dst = folder + "/out.ash";
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "-f" : "no -f");
        fs::remove(dst);
        const std::string log = Dir / "strace.log";
        std::vector<std::string> argv{"/usr/bin/strace",
                                      "-f",
                                      "-qq",
                                      "-y",
                                      "-o",
                                      log,
                                      "-e",
                                      "trace=fsync,fdatasync,rename,renameat,renameat2,link,linkat",
                                      Cli,
                                      "encrypt",
                                      "--key-file",
                                      Dir / "key",
                                      "-o",
                                      dst,
                                      src};
        if (force)
            argv.insert(argv.begin() + 10, "-f");
        // The sanitizers' leak check cannot run under a tracer; it is not what is looked at.
        TRunOptions traced;
        traced.Env = {"ASAN_OPTIONS=detect_leaks=0"};
        const auto r = RunProgram(argv, traced);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        std::vector<std::string> calls;
        const auto text = ReadAll(log);
        std::istringstream in(std::string(text.begin(), text.end()));
        for (std::string line; std::getline(in, line);)
            calls.push_back(line);
        const auto named = std::find_if(calls.begin(), calls.end(), [&](const std::string& c) {
            return c.find("rename") != std::string::npos &&
                   c.find("\"" + dst + "\"") != std::string::npos &&
                   c.find(" = 0") != std::string::npos;
        });
        ASSERT_NE(named, calls.end()) << "no rename onto the target";
        const auto fileFlush = [&](const std::string& c) {
            return c.find("fsync(") != std::string::npos &&
                   c.find("<" + folder + "/") != std::string::npos &&
                   c.find(" = 0") != std::string::npos;
        };
        const auto folderFlush = [&](const std::string& c) {
            return c.find("fsync(") != std::string::npos &&
                   c.find("<" + folder + ">)") != std::string::npos &&
                   c.find(" = 0") != std::string::npos;
        };
        EXPECT_TRUE(std::any_of(calls.begin(), named, fileFlush))
            << "the file was not flushed first";
        EXPECT_TRUE(std::any_of(named, calls.end(), folderFlush))
            << "the folder was not flushed after";
        EXPECT_EQ(ReadAll(dst), Transformed(src, true, "k"));
    }
}

// ---- standard output and descriptors// ---- standard output and descriptors
// --------------------------------------------------------

TEST_F(EdgeTest, standardOutputThatIsTheSource_isRefusedBeforeAByteIsWritten) {
    const auto data = RandomBytes(30000, 7);
    for (const char* redirect : {"1<>b", ">>b"}) {
        SCOPED_TRACE(redirect);
        WriteAll(Dir / "b", data);
        for (const char* target : {"\"\"", "/dev/stdout", "/proc/self/fd/1"}) {
            SCOPED_TRACE(target);
            const auto r = Shell(std::string("\"$0\" ENC \"$1\" b ") + target + " " + redirect);
            EXPECT_EQ(r.ExitCode, 1) << r.Err;
            EXPECT_FALSE(r.Err.empty());
            EXPECT_EQ(r.Err.find("source was kept"), std::string::npos) << r.Err;
            EXPECT_EQ(ReadAll(Dir / "b"), data);
        }
    }
}

TEST_F(EdgeTest, descriptorTargets_areWrittenAsTheyAre_appendedNeverReplaced) {
    const std::string src = Dir / "f.ash";
    WriteAll(src, RandomBytes(3 * 10240 + 5, 8));
    const auto plain = Transformed(src, false);
    const std::vector<uint8_t> before{'l', 'o', 'g', '\n'};
    for (const char* target : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "\"\""}) {
        SCOPED_TRACE(target);
        WriteAll(Dir / "log", before);
        struct stat st {};
        ::stat((Dir / "log").c_str(), &st);
        const auto r = Shell(std::string("\"$0\" DEC \"$1\" f.ash ") + target + " >> log");
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        auto expected = before;
        expected.insert(expected.end(), plain.begin(), plain.end());
        EXPECT_EQ(ReadAll(Dir / "log"), expected);
        struct stat after {};
        ::stat((Dir / "log").c_str(), &after);
        EXPECT_EQ(after.st_ino, st.st_ino) << "the log was replaced instead of written";
    }
    // Standard error as the target, and a descriptor opened only for reading.
    auto r = Shell("\"$0\" DEC \"$1\" f.ash /dev/stderr 2>err.out");
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "err.out"), plain);
    r = Shell("\"$0\" DEC \"$1\" f.ash /dev/fd/5 5</dev/null");
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(ReadAll(src).size(), 3u * 10240 + 5);
}

TEST_F(EdgeTest, departedReader_endsTheRunPromptlyWithFailure) {
    const std::string src = Dir / "big.ash";
    WriteAll(src, RandomBytes(32 << 20, 9));
    ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
    const std::vector<std::string> scripts{
        // A pipe whose reader has had enough.
        "\"$0\" DEC \"$1\" big.ash /dev/stdout | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}",
        "\"$0\" DEC \"$1\" big.ash \"\" | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}",
        // A FIFO whose reader leaves early, and one nobody reads at all.
        "timeout 20 head -c 10 fifo >/dev/null & "
        "\"$0\" DEC \"$1\" big.ash fifo; s=$?; wait; exit $s",
        "\"$0\" DEC \"$1\" big.ash fifo",
    };
    for (const auto& script : scripts) {
        SCOPED_TRACE(script);
        const auto r = Shell(script, 120);
        EXPECT_FALSE(r.TimedOut) << "the run hung";
        EXPECT_TRUE(r.ExitCode == 1 || r.ExitCode == 128 + SIGPIPE) << r.ExitCode << r.Err;
        EXPECT_TRUE(r.ExitCode != 1 || !r.Err.empty()) << "a failure must be told";
    }
    EXPECT_EQ(fs::status(Dir / "fifo").type(), fs::file_type::fifo);
}

TEST_F(EdgeTest, nonBlockingStandardOutput_isWaitedOutNotAnError) {
    const std::string src = Dir / "f.ash";
    WriteAll(src, RandomBytes(4 << 20, 10));
    const auto plain = Transformed(src, false);
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    const int errFd = ::open((Dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const pid_t pid = Start({Calyxor, "DEC", Key, src, ""}, [&] {
        ::dup2(p[1], 1);
        ::dup2(errFd, 2);
        ::close(p[0]);
        ::fcntl(1, F_SETFL, ::fcntl(1, F_GETFL) | O_NONBLOCK);
    });
    ::close(p[1]);
    ::close(errFd);
    // A slow reader: the pipe fills, and the program must wait rather than fail.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<uint8_t> got;
    uint8_t buf[65536];
    for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0);
        got.insert(got.end(), buf, buf + n);
    }
    ::close(p[0]);
    const auto told = ReadAll(Dir / "err");
    EXPECT_EQ(Finish(pid), 0) << std::string(told.begin(), told.end());
    EXPECT_EQ(got, plain);
}

TEST_F(EdgeTest, closedStandardDescriptors_takeNoFile_andAnEmptyTargetIsRefused) {
    const std::string src = Dir / "src";
    const auto data = RandomBytes(50000, 11);
    WriteAll(src, data);
    const auto expected = Transformed(src, true);
    const std::string err = Dir / "err";

    // Standard output closed, and the bytes asked for there: refused, said, nothing written.
    pid_t pid = Start({Calyxor, "ENC", Key, src, ""}, [&] {
        Redirect(err, 2, O_WRONLY | O_CREAT | O_TRUNC);
        ::close(1);
    });
    EXPECT_EQ(Finish(pid), 1);
    const auto told = ReadAll(err);
    EXPECT_NE(std::string(told.begin(), told.end()).find("standard output"), std::string::npos);
    EXPECT_EQ(ReadAll(src), data);

    // All three closed: whatever the program opens must not become its standard output.
    pid = Start({Calyxor, "ENC", Key, src, Dir / "out.ash"}, [] {
        ::close(0);
        ::close(1);
        ::close(2);
    });
    EXPECT_EQ(Finish(pid), 0);
    EXPECT_EQ(ReadAll(Dir / "out.ash"), expected);
    EXPECT_EQ(ReadAll(src), data);
}

// ---- the raw writes -------------------------------------------------------------------------

TEST(WriteOutTest, fileSizeLimit_isToldAsTooLarge_notAsDiskFull) {
    TTempDir dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const int fd = ::open((dir / "f").c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<uint8_t> bytes(5000, 1);
        std::size_t done = 0;
        const int err = WriteOut(fd, bytes.data(), bytes.size(), &done);
        ::_exit(err == EFBIG && done == 1000 && IOErrorText(err) == "File too large" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// ---- the hidden-name registry ---------------------------------------------------------------

// calyxor-cli -j N holds a hidden name or two for each job at once, whatever N is: a signal
// must remove every one of them, not the first few.
TEST(HiddenNamesTest, aSignalRemovesEveryNameHeld_howeverMany) {
    TTempDir dir;
    constexpr int Names = 64;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGTERM, SIG_DFL);
        for (int k = 0; k < Names; ++k) {
            // Long names too: a path may be longer than any fixed slot.
            const std::string name =
                dir / (".calyxor-" + std::string(k % 2 ? 200 : 5, 'n') + std::to_string(k));
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd < 0)
                ::_exit(1);
            ::close(fd);
            RegisterHidden(name);
        }
        UnregisterHidden(dir / ".calyxor-nnnnn0"); // taken out again: kept by the signal
        ::raise(SIGTERM);
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{".calyxor-nnnnn0"});
}

} // namespace
