// SPDX-License-Identifier: MIT
// Faults that really happen on Linux, provoked for real against the built programs: a source
// cut short while it is read, writes that fail part-way, permissions, sources that are not
// files, and wiping. Whatever happens, nothing may be lost: the source keeps every byte (by
// hash) unless its encrypted copy is complete and on the device, and no failure is reported as
// success.

#include "cipher/BlockFile.h"
#include "cipher/BlockWriter.h"
#include "cipher/FileTransform.h"
#include "cipher/core/Cipher.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/Privileged.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

const std::string Calyxor = CALYXOR_BUILD_DIR "/calyxor";
const std::string Driver = CALYXOR_FAULT_DRIVER;
const std::string Strace = "/usr/bin/strace";
const std::string Key = "correct horse";

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPrimeTable();
        // The plain user must reach the files too.
        fs::permissions(Dir.Path, fs::perms::all);
    }

    // A source of random bytes; its hash is what "nothing lost" is checked against.
    std::string MakeSource(const std::string& name, std::size_t size, uint32_t seed = 7) {
        const std::string path = Dir / name;
        WriteAll(path, RandomBytes(size, seed));
        return path;
    }

    // What the source encrypts to with Key, to tell a complete target from a cut one.
    std::vector<uint8_t> Encrypted(const std::string& source) {
        const std::string ref = Dir / "reference.ash";
        const std::vector<uint8_t> key(Key.begin(), Key.end());
        EXPECT_TRUE(EncryptFileCore(source, ref, key, {}, nullptr, nullptr));
        auto bytes = ReadAll(ref);
        fs::remove(ref);
        return bytes;
    }

    static TRunResult Cli(const std::string& verb, const std::string& src, const std::string& dst,
                          const TRunOptions& opt = {}) {
        return RunProgram({Calyxor, verb, Key, src, dst}, opt);
    }

    TTempDir Dir;
};

#define EXPECT_FAILED_CLEANLY(r)                                                                   \
    do {                                                                                           \
        EXPECT_FALSE((r).TimedOut) << "the program blocked";                                       \
        EXPECT_EQ((r).Signal, 0) << "the program crashed";                                         \
        EXPECT_EQ((r).ExitCode, 1) << (r).Err;                                                     \
        EXPECT_FALSE((r).Err.empty()) << "a failure must be told";                                 \
    } while (0)

// ---- 1. the source shrinks while it is read
// ------------------------------------------------------

// Another program changes the source right after the first byte has gone through.
class TRunOnFirstProgress : public TProgressReceiver {
public:
    explicit TRunOnFirstProgress(std::vector<std::string> argv) : Argv(std::move(argv)) {}
    void SetMinValue(int32_t) override {}
    void SetMaxValue(int32_t) override {}
    void SetProgress(int32_t) override {
        if (Done)
            return;
        Done = true;
        const auto r = RunProgram(Argv);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
    }
    std::vector<std::string> Argv;
    bool Done = false;
};

// Cut short: the pages past the new end fault when they are read.
TEST_F(FaultTest, shrinkingSource_isAnErrorNotACrash_inBothDirections) {
    const std::vector<uint8_t> key(Key.begin(), Key.end());
    for (bool encrypt : {true, false}) {
        const std::string src = MakeSource("shrinks", 1 << 20);
        TRunOnFirstProgress cutter({"/usr/bin/truncate", "-s", "5000", src});
        TNoticeRecorder messages;
        try {
            const TTransformResult result =
                encrypt ? EncryptFileCore(src, Dir / "out", key, {}, &cutter, &messages)
                        : DecryptFileCore(src, Dir / "out", key, &cutter, &messages);
            ADD_FAILURE() << "a cut source must not end normally, result "
                          << static_cast<bool>(result);
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find("became shorter"), std::string::npos) << e.Message();
        }
        EXPECT_TRUE(cutter.Done);
        EXPECT_FALSE(fs::exists(Dir / "out")) << "a cut target was put in place";
    }
}

// Grown, or saved anew under its name: the target then lacks what the source now holds, so the
// run must not count as a success after which the encrypt command would wipe the source.
TEST_F(FaultTest, sourceChangedWhileRead_isNeverSuccess) {
    const std::vector<uint8_t> key(Key.begin(), Key.end());
    const std::string src = Dir / "changes";
    const std::vector<std::vector<std::string>> changes{
        {"/bin/sh", "-c", "printf appended >> \"$0\"", src},
        {"/bin/sh", "-c", "printf new > \"$0.new\" && mv \"$0.new\" \"$0\"", src},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change[2]);
        MakeSource("changes", 100000);
        TRunOnFirstProgress changer(change);
        EXPECT_THROW((void)EncryptFileCore(src, Dir / "out", key, {}, &changer, nullptr),
                     Exception);
        EXPECT_TRUE(changer.Done);
    }
}

// ---- 2. writes that fail part-way -------------------------------------------------------------

TEST_F(FaultTest, fullDevice_failsTellsDiskFull_andKeepsTheSource) {
    const std::string src = MakeSource("src", 30000);
    const uint64_t before = FileHash(src);
    for (const char* verb : {"ENC", "DEC"}) {
        const auto r = Cli(verb, src, "/dev/full");
        EXPECT_FAILED_CLEANLY(r);
        EXPECT_NE(r.Err.find("Disk full"), std::string::npos) << r.Err;
    }
    // The encrypt-then-wipe chain never reaches the wipe.
    const auto r = RunProgram({Driver, "enc-kill", Key, src, "/dev/full"});
    EXPECT_FAILED_CLEANLY(r);
    EXPECT_EQ(FileHash(src), before);
}

// A file-size limit makes the kernel write only what fits; the next write fails outright. The
// limits fall before, on and after block edges, and inside the last partial block.
TEST_F(FaultTest, fileSizeLimit_shortWritesAreNeverSuccess_andTheSourceStays) {
    const std::string src = MakeSource("src", 25000);
    const uint64_t before = FileHash(src);
    for (rlim_t limit : {0ul, 1ul, 10239ul, 10240ul, 10241ul, 15000ul, 20480ul, 24999ul}) {
        TRunOptions opt;
        opt.FileSizeLimit = limit;
        const std::string dst = Dir / "out.ash";
        const auto r = Cli("ENC", src, dst, opt);
        SCOPED_TRACE("limit " + std::to_string(limit));
        EXPECT_FAILED_CLEANLY(r);
        const bool told = r.Err.find("! Error writing output file") != std::string::npos ||
                          r.Err.find("File too large") != std::string::npos;
        EXPECT_TRUE(told) << r.Err;
        EXPECT_FALSE(PathExists(dst)) << "a cut target was put in place";

        const auto chain = RunProgram({Driver, "enc-kill", Key, src, dst}, opt);
        EXPECT_FAILED_CLEANLY(chain);
        EXPECT_EQ(FileHash(src), before);
    }
}

// Fails the Nth call of one system call, for every N until a run goes through with nothing
// left to fail. Only a call on a file in folder counts: one made by the loader or by a
// sanitizer's runtime (which writes to pipes of its own) is not the program's to handle, and
// that run is not checked. Every run starts from the files reset() makes, so that the calls
// come in the same order each time. Returns how many runs were checked.
// alsoFail: a call failed every time besides (say, "clone3" for a process that can start no
// thread), with EAGAIN.
int InjectEveryCall(const std::string& syscall, const std::string& error, const std::string& folder,
                    const std::vector<std::string>& command, const std::function<void()>& reset,
                    const std::function<void(int n, const TRunResult&, bool injected)>& check,
                    const std::string& alsoFail = {}) {
    int runs = 0;
    for (int n = 1; n <= 200; ++n) {
        reset();
        // -y names each descriptor's file, so that the injected call's file can be told.
        std::vector<std::string> argv{
            Strace, "-qq",
            "-f",   "-y",
            "-e",   "trace=" + syscall + (alsoFail.empty() ? "" : "," + alsoFail),
            "-e",   "inject=" + syscall + ":error=" + error + ":when=" + std::to_string(n)};
        if (!alsoFail.empty())
            argv.insert(argv.end(), {"-e", "inject=" + alsoFail + ":error=EAGAIN"});
        argv.insert(argv.end(), command.begin(), command.end());
        // The leak checker stops the world with ptrace of its own, which a traced program
        // cannot do.
        TRunOptions opt;
        opt.Env = {"ASAN_OPTIONS=detect_leaks=0"};
        const auto r = RunProgram(argv, opt);
        // The line of the one call failed in turn, not of the calls failed besides.
        std::size_t at = std::string::npos;
        std::size_t from = 0;
        for (std::size_t found = r.Err.find("(INJECTED)"); found != std::string::npos;
             found = r.Err.find("(INJECTED)", found + 1)) {
            const auto line = r.Err.rfind('\n', found);
            from = line == std::string::npos ? 0 : line + 1;
            if (r.Err.find(syscall + "(", from) < found) {
                at = found;
                break;
            }
        }
        const bool injected = at != std::string::npos;
        if (injected && r.Err.substr(from, at - from).find(folder) == std::string::npos)
            continue;
        ++runs;
        check(n, r, injected);
        if (!injected)
            break;
    }
    return runs;
}

// What a run under an injected failure may end with: a clean failure that kept the source, or
// success with a complete target (a failed call whose result cannot matter, such as closing a
// file that was only read). Never a crash, never success with a cut target.
void CheckOutcome(const TRunResult& r, bool injected, const std::string& src, uint64_t srcHash,
                  const std::string& dst, const std::vector<uint8_t>& complete, bool sourceGoes) {
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Signal, 0);
    const bool sourceIntact = PathExists(src) && FileHash(src) == srcHash;
    const bool targetComplete = ReadAll(dst) == complete;
    if (r.ExitCode == 0) {
        EXPECT_TRUE(targetComplete) << "success reported for an incomplete target";
        EXPECT_EQ(PathExists(src), !sourceGoes);
    } else {
        EXPECT_TRUE(injected) << r.Err;
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(sourceIntact || targetComplete)
            << "the source was touched while its copy was incomplete";
    }
    if (!injected) {
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
    }
}

// The target is written into a temporary file that has no name while it is written, so its
// calls cannot be picked by path: the driver, whose only writes are the target's, has every
// call of a kind failed in turn. A failed run leaves no target, or (when only the folder's
// flush failed) the complete one.
TEST_F(FaultTest, injectedFailures_ofEveryWriteAndClose_areNeverSuccess) {
    SKIP_UNLESS_PRIVILEGED(
        CanPtrace(), "strace cannot trace here (ptrace is not allowed), so no call can be failed");
    // Two full batches go out on the writer thread, then whole blocks and a partial one as the
    // record is closed: a failure can land on each kind of write.
    const std::string src = MakeSource("src", 2 * BatchSize + 3 * BlockSize + 100);
    const uint64_t before = FileHash(src);
    const auto complete = Encrypted(src);
    const std::string dst = Dir / "out.ash";
    for (const auto& [call, error] :
         {std::pair{"write", "ENOSPC"}, std::pair{"write", "EIO"}, std::pair{"close", "EIO"},
          std::pair{"fsync", "EIO"}, std::pair{"linkat", "EIO"}, std::pair{"rename", "EIO"}}) {
        int failed = 0;
        const int runs = InjectEveryCall(
            call, error, Dir.Path, {Driver, "enc", Key, src, dst}, [&] { fs::remove(dst); },
            [&](int n, const TRunResult& r, bool injected) {
                SCOPED_TRACE(std::string(call) + " #" + std::to_string(n));
                CheckOutcome(r, injected, src, before, dst, complete, false);
                if (r.ExitCode != 0) {
                    EXPECT_TRUE(!PathExists(dst) || ReadAll(dst) == complete)
                        << "a failed run left a cut target";
                }
                failed += r.ExitCode != 0;
            });
        EXPECT_GT(runs, 1) << call << " was never called";
        // Every write in the folder is the target's; closing the source may fail harmlessly.
        if (std::string(call) == "write")
            EXPECT_EQ(failed, runs - 1) << "every failed write must fail the run";
        else
            EXPECT_GT(failed, 0) << "no failed " << call << " failed the run";
        std::cout << "[ faults   ] " << call << " failed with " << error << ": " << runs
                  << " runs\n";
    }
}

// A process that can start no thread (a limit on its threads, or on its memory) still writes
// the file, on the transform's own thread: the same bytes, and each failed write still fails
// the run.
TEST_F(FaultTest, noThreadToBeHad_theFileIsWrittenAllTheSame_andAFailedWriteStillFails) {
    SKIP_UNLESS_PRIVILEGED(
        CanPtrace(), "strace cannot trace here (ptrace is not allowed), so no call can be failed");
    const std::string src = MakeSource("src", 4 * BatchSize + 3 * BlockSize + 100);
    const uint64_t before = FileHash(src);
    const auto complete = Encrypted(src);
    const std::string dst = Dir / "out.ash";
    TRunOptions opt;
    opt.Env = {"ASAN_OPTIONS=detect_leaks=0"};
    const auto r = RunProgram({Strace, "-qq", "-f", "-e", "trace=clone3", "-e",
                               "inject=clone3:error=EAGAIN", Driver, "enc", Key, src, dst},
                              opt);
    ASSERT_NE(r.Err.find("(INJECTED)"), std::string::npos) << "no thread was asked for";
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(dst), complete);
    fs::remove(dst);
    int failed = 0;
    const int runs = InjectEveryCall(
        "write", "ENOSPC", Dir.Path, {Driver, "enc", Key, src, dst}, [&] { fs::remove(dst); },
        [&](int n, const TRunResult& run, bool injected) {
            SCOPED_TRACE("write #" + std::to_string(n));
            CheckOutcome(run, injected, src, before, dst, complete, false);
            failed += run.ExitCode != 0;
        },
        "clone3");
    EXPECT_GT(runs, 4);
    EXPECT_EQ(failed, runs - 1) << "every failed write must fail the run";
}

// The chain the encrypt command runs when the source is to be deleted: the source may be lost
// only when its encrypted copy is complete and on the device.
TEST_F(FaultTest, injectedFailures_inEncryptThenWipe_neverLoseTheSource) {
    SKIP_UNLESS_PRIVILEGED(
        CanPtrace(), "strace cannot trace here (ptrace is not allowed), so no call can be failed");
    const std::string dst = Dir / "out.ash";
    for (const auto& [call, error] :
         {std::pair{"write", "ENOSPC"}, std::pair{"fsync", "EIO"}, std::pair{"close", "EIO"}}) {
        const std::string src = MakeSource("src", 2 * BlockSize + 7);
        const uint64_t before = FileHash(src);
        const auto complete = Encrypted(src);
        const int runs = InjectEveryCall(
            call, error, Dir.Path, {Driver, "enc-kill", Key, src, dst},
            [&] {
                MakeSource("src", 2 * BlockSize + 7);
                fs::remove(dst);
            },
            [&](int n, const TRunResult& r, bool injected) {
                SCOPED_TRACE(std::string(call) + " #" + std::to_string(n));
                CheckOutcome(r, injected, src, before, dst, complete, true);
            });
        EXPECT_GT(runs, 1) << call << " was never called";
        std::cout << "[ faults   ] " << call << " failed with " << error << ": " << runs
                  << " runs\n";
    }
}

// A small tmpfs of its own, mounted in a user namespace, fills up for real.
TEST_F(FaultTest, fullFileSystem_failsAndKeepsTheSource) {
    SKIP_UNLESS_PRIVILEGED(
        CanMakeUserNamespace(),
        "user namespaces are not allowed here, so no private tmpfs can be mounted");
    const std::string src = MakeSource("src", 200000);
    const uint64_t before = FileHash(src);
    fs::create_directory(Dir / "mnt");
    for (const auto& command :
         {std::vector<std::string>{Calyxor, "ENC", Key, src}, {Driver, "enc-kill", Key, src}}) {
        std::vector<std::string> argv{"/usr/bin/unshare",
                                      "-Urm",
                                      "/bin/sh",
                                      "-c",
                                      "mount -t tmpfs -o size=64k tmpfs \"$0\" && exec \"$@\"",
                                      Dir / "mnt"};
        argv.insert(argv.end(), command.begin(), command.end());
        argv.push_back(Dir / "mnt/out.ash");
        const auto r = RunProgram(argv);
        EXPECT_FAILED_CLEANLY(r);
        EXPECT_NE(r.Err.find("Disk full"), std::string::npos) << r.Err;
        EXPECT_EQ(FileHash(src), before);
    }
}

// ---- 3. permissions, as a plain user
// --------------------------------------------------------------

TEST_F(FaultTest, permissions_unreadableSourceOrUnwritableTarget_failWithoutTouchingEither) {
    SKIP_UNLESS_PRIVILEGED(::geteuid() == 0, "needs root to switch to the plain user 'nobody'");
    TRunOptions asNobody;
    asNobody.User = NobodyId;
    const std::string src = MakeSource("src", 30000);
    const uint64_t before = FileHash(src);
    fs::permissions(src, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const std::string secret = MakeSource("secret", 30000);
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    auto r = Cli("ENC", secret, Dir / "secret.ash", asNobody);
    EXPECT_FAILED_CLEANLY(r);
    EXPECT_NE(r.Err.find("Failed to create file mapping."), std::string::npos) << r.Err;
    EXPECT_FALSE(PathExists(Dir / "secret.ash"));

    // Somebody else's file, a folder only its owner may write to, a folder, a missing folder.
    const std::string theirs = MakeSource("theirs.ash", 100, 9);
    const uint64_t theirsBefore = FileHash(theirs);
    fs::permissions(theirs,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    fs::create_directory(Dir / "locked");
    fs::permissions(Dir / "locked",
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(Dir / "folder");
    for (const std::string& dst :
         {theirs, Dir / "locked/out.ash", Dir / "folder", Dir / "missing/out.ash"}) {
        SCOPED_TRACE(dst);
        r = Cli("ENC", src, dst, asNobody);
        EXPECT_FAILED_CLEANLY(r);
        EXPECT_NE(r.Err.find("! Can't open input file " + dst), std::string::npos) << r.Err;
        EXPECT_EQ(FileHash(src), before);
    }
    EXPECT_EQ(FileHash(theirs), theirsBefore);
    EXPECT_FALSE(PathExists(Dir / "locked/out.ash"));
    EXPECT_TRUE(fs::is_directory(Dir / "folder"));
}

TEST_F(FaultTest, permissions_wipeAsPlainUser) {
    SKIP_UNLESS_PRIVILEGED(::geteuid() == 0, "needs root to switch to the plain user 'nobody'");
    TRunOptions asNobody;
    asNobody.User = NobodyId;
    const auto ro = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

    // The user's own read-only file is wiped: the read-only bit guards against accidents, and
    // asking to wipe is no accident.
    const std::string own = MakeSource("own", 20000);
    ASSERT_EQ(::chown(own.c_str(), NobodyId, NobodyId), 0);
    fs::permissions(own, ro);
    auto r = RunProgram({Driver, "wipe", own}, asNobody);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(PathExists(own));

    // Somebody else's file cannot be opened: refused, told, not one byte changed.
    const std::string theirs = MakeSource("theirs", 20000);
    const uint64_t before = FileHash(theirs);
    fs::permissions(theirs,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    r = RunProgram({Driver, "wipe", theirs}, asNobody);
    EXPECT_FAILED_CLEANLY(r);
    EXPECT_EQ(FileHash(theirs), before);

    // In a folder the user may not change, the bytes are overwritten but the name stays: the
    // data is gone, which is what a wipe is for, and the user is told that the name is not.
    fs::create_directory(Dir / "ro");
    const std::string kept = MakeSource("ro/kept", 20000);
    ASSERT_EQ(::chown(kept.c_str(), NobodyId, NobodyId), 0);
    ASSERT_EQ(::chown((Dir / "ro").c_str(), NobodyId, NobodyId), 0);
    fs::permissions(Dir / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    r = RunProgram({Driver, "wipe", kept}, asNobody);
    EXPECT_FAILED_CLEANLY(r);
    EXPECT_NE(r.Err.find("could not be deleted"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadAll(kept), std::vector<uint8_t>(20000, 0x0F));
}

// ---- 4. sources that are not files
// ------------------------------------------------------------------

TEST_F(FaultTest, notAFile_isRefusedWithAMessage_neverEncryptedAsEmpty_neverBlocks) {
    ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0666), 0);
    fs::create_directory(Dir / "folder");
    std::vector<std::string> sources{Dir / "fifo", Dir / "folder", "/proc/version", "/dev/zero",
                                     "/dev/null"};
    for (const auto& src : sources) {
        SCOPED_TRACE(src);
        TRunOptions opt;
        opt.TimeoutSeconds = 20;
        const auto r = Cli("ENC", src, Dir / "out.ash", opt);
        EXPECT_FAILED_CLEANLY(r);
        EXPECT_FALSE(PathExists(Dir / "out.ash")) << "nothing may be written for it";
    }
    // Wiping them must neither block nor remove them. The device is a private copy of
    // /dev/null, so that a fault here cannot harm the machine.
    const bool haveDevice = ::mknod((Dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    for (const std::string& path : {Dir / "fifo", Dir / "null"}) {
        if (path == Dir / "null" && !haveDevice)
            continue;
        TRunOptions opt;
        opt.TimeoutSeconds = 20;
        const auto r = RunProgram({Driver, "wipe", path}, opt);
        EXPECT_FAILED_CLEANLY(r);
        EXPECT_TRUE(PathExists(path));
    }
}

// ---- 5. wiping
// ---------------------------------------------------------------------------------------

TEST_F(FaultTest, wipe_symbolicLinkIsRefused_hardLinkSeesOnly0x0F) {
    const std::string other = MakeSource("other", 20000);
    const uint64_t before = FileHash(other);
    fs::create_symlink(other, Dir / "link");
    auto r = RunProgram({Driver, "wipe", Dir / "link"});
    EXPECT_FAILED_CLEANLY(r);
    EXPECT_EQ(FileHash(other), before);
    EXPECT_TRUE(fs::is_symlink(Dir / "link"));

    // The other name, and a descriptor kept open across the wipe, read the same blocks the
    // file had: they must hold nothing but the fill byte.
    fs::create_hard_link(other, Dir / "second");
    const int fd = ::open(other.c_str(), O_RDONLY);
    r = RunProgram({Driver, "wipe", other});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(PathExists(other));
    std::vector<uint8_t> seen(30000);
    const ssize_t n = ::pread(fd, seen.data(), seen.size(), 0);
    ::close(fd);
    seen.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    EXPECT_EQ(seen, std::vector<uint8_t>(20000, 0x0F));
    EXPECT_EQ(ReadAll(Dir / "second"), std::vector<uint8_t>(20000, 0x0F));
}

} // namespace
