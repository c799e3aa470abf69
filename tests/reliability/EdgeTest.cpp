// SPDX-License-Identifier: MIT
// Outputs at the edges, provoked for real against the built program: runs killed part-way, two
// runs on one target, standard output that is the source, descriptors named as files, readers
// that leave, descriptors closed at start. Whatever happens, a target holds either what it
// held before or the whole new result, and no failure is reported as success.

#include "cipher/FileTransform.h"
#include "cipher/WriteOut.h"
#include "cipher/core/Cipher.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace fs = std::filesystem;

namespace {

const std::string Calyxor = CALYXOR_BUILD_DIR "/calyxor";
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
// file systems are): every open that asks for an unnamed file fails with EOPNOTSUPP.
bool RefuseUnnamedFiles() {
#if defined(__x86_64__)
    constexpr uint32_t Unnamed = O_TMPFILE & ~O_DIRECTORY;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, Unnamed, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
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
    if (Finish(Start({"/bin/true"}, [] { ::_exit(RefuseUnnamedFiles() ? 0 : 1); })) != 0)
        GTEST_SKIP() << "no seccomp filter can be installed here";
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

TEST_F(EdgeTest, writableFileInAReadOnlyFolder_isWrittenInPlace) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to the plain user 'nobody'";
    fs::permissions(Dir.Path, fs::perms::all);
    const std::string src = Dir / "src";
    WriteAll(src, RandomBytes(30000, 6));
    fs::permissions(src, fs::perms::all);
    fs::create_directory(Dir / "ro");
    WriteAll(Dir / "ro/out.ash", {1, 2, 3});
    ASSERT_EQ(::chown((Dir / "ro/out.ash").c_str(), NobodyId, NobodyId), 0);
    fs::permissions(Dir / "ro",
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    TRunOptions asNobody;
    asNobody.User = NobodyId;
    const auto r = RunProgram({Calyxor, "ENC", Key, src, Dir / "ro/out.ash"}, asNobody);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "ro/out.ash"), Transformed(src, true));
}

// ---- standard output and descriptors --------------------------------------------------------

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

} // namespace
