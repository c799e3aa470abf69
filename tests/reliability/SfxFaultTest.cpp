// SPDX-License-Identifier: MIT
// The self-extracting stub under damage and hostile surroundings: payloads cut at many
// lengths, bytes appended, a folder it may not write to, a full disk. It must restore what is
// there or fail with a message, never crash, and never leave a partial file under the output's
// name.

#include "cipher/BlockFile.h"
#include "cipher/FileTransform.h"
#include "cipher/core/Cipher.h"
#include "support/Privileged.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>

#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

const std::string Stub = CALYXOR_BUILD_DIR "/SFX/default.sfx";
const std::string Key = "sfx key";

class SfxFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPrimeTable();
        fs::permissions(Dir.Path, fs::perms::all);
        ModuleSize = static_cast<int32_t>(fs::file_size(Stub));
        Plain = DocumentBytes(3 * BlockSize + 333, 21);
        WriteAll(Dir / "plain", Plain);
        const std::vector<uint8_t> key(Key.begin(), Key.end());
        const TModulePrefix module{Stub, ModuleSize};
        ASSERT_TRUE(
            EncryptFileCore(Dir / "plain", Dir / "plain.exe", key, &module, nullptr, nullptr));
        fs::permissions(Dir / "plain.exe", fs::perms::all);
    }

    TRunResult Extract(const std::string& exe, std::vector<std::string> args,
                       TRunOptions opt = {}) {
        args.insert(args.begin(), exe);
        opt.Stdin = Key + "\n";
        opt.TimeoutSeconds = 20;
        return RunProgram(args, opt);
    }

    TTempDir Dir;
    int32_t ModuleSize = 0;
    std::vector<uint8_t> Plain;
};

// The lengths a cut payload is tried at: every length of the first block, and every length
// within a few bytes of each later block edge, and a stride through the rest. Set
// CALYXOR_SFX_EVERY_LENGTH to try every single length (a few minutes).
std::vector<std::size_t> CutLengths(std::size_t total) {
    const bool every = std::getenv("CALYXOR_SFX_EVERY_LENGTH") != nullptr;
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= total; ++n) {
        const std::size_t edge = n % BlockSize;
        if (every || n <= 600 || edge <= 2 || edge >= BlockSize - 2 || n % 251 == 0 || n == total)
            lengths.push_back(n);
    }
    return lengths;
}

TEST_F(SfxFaultTest, cutPayload_restoresWhatIsThere_neverCrashes) {
    const std::string exe = Dir / "plain.exe";
    const auto lengths = CutLengths(Plain.size());
    // Longest first, so one file is cut shorter and shorter instead of written anew each time.
    int runs = 0;
    for (auto it = lengths.rbegin(); it != lengths.rend(); ++it) {
        const std::size_t n = *it;
        SCOPED_TRACE("payload of " + std::to_string(n) + " bytes");
        fs::resize_file(exe, static_cast<uintmax_t>(ModuleSize) + n);
        fs::remove(Dir / "out");
        const auto r = Extract(exe, {"-o", Dir / "out"});
        ++runs;
        ASSERT_TRUE(r.Exited()) << "signal " << r.Signal << (r.TimedOut ? ", blocked" : "");
        if (r.ExitCode == 0) {
            EXPECT_EQ(ReadAll(Dir / "out"),
                      std::vector<uint8_t>(Plain.begin(), Plain.begin() + static_cast<long>(n)));
        } else {
            EXPECT_EQ(r.ExitCode, 1);
            EXPECT_FALSE(r.Err.empty());
            EXPECT_FALSE(PathExists(Dir / "out")) << "a failed run left a file";
        }
        if (n > 0) {
            EXPECT_EQ(r.ExitCode, 0) << r.Err;
        }
    }
    std::cout << "[ faults   ] cut payloads tried: " << runs << "\n";
}

TEST_F(SfxFaultTest, trailingGarbage_isDecryptedToo_theSourceIsStillItsStart) {
    std::vector<uint8_t> exe = ReadAll(Dir / "plain.exe");
    const auto garbage = RandomBytes(5000, 99);
    exe.insert(exe.end(), garbage.begin(), garbage.end());
    WriteAll(Dir / "long.exe", exe);
    fs::permissions(Dir / "long.exe", fs::perms::all);
    const auto r = Extract(Dir / "long.exe", {"-o", Dir / "out"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto out = ReadAll(Dir / "out");
    ASSERT_EQ(out.size(), Plain.size() + garbage.size());
    EXPECT_TRUE(std::equal(Plain.begin(), Plain.end(), out.begin()));
}

TEST_F(SfxFaultTest, readOnlyFolder_failsWithAMessage_andWritesNothing) {
    SKIP_UNLESS_PRIVILEGED(::geteuid() == 0, "needs root to switch to the plain user 'nobody'");
    fs::create_directory(Dir / "ro");
    fs::copy_file(Dir / "plain.exe", Dir / "ro/plain.exe");
    fs::permissions(Dir / "ro",
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    TRunOptions opt;
    opt.User = NobodyId;
    opt.Cwd = Dir / "ro";
    const auto r = Extract("./plain.exe", {}, opt);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_FALSE(r.Err.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "ro"), fs::directory_iterator()), 1);
}

TEST_F(SfxFaultTest, targetPresent_isKeptWithoutForce) {
    WriteAll(Dir / "plain.out", {1, 2, 3});
    auto r = Extract(Dir / "plain.exe", {"-o", Dir / "plain.out"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(ReadAll(Dir / "plain.out"), (std::vector<uint8_t>{1, 2, 3}));
    r = Extract(Dir / "plain.exe", {"-f", "-o", Dir / "plain.out"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadAll(Dir / "plain.out"), Plain);
}

TEST_F(SfxFaultTest, fullDisk_failsAndLeavesNoPartialFile) {
    // A private copy of /dev/full: a stub that replaced its output instead of writing into it
    // must not take the machine's device with it.
    if (::mknod((Dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        const auto r = Extract(Dir / "plain.exe", {"-f", "-o", Dir / "full"});
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_FALSE(r.Err.empty());
        struct stat st {};
        EXPECT_TRUE(::stat((Dir / "full").c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            << "the device was replaced by a file";
    }
    SKIP_UNLESS_PRIVILEGED(CanMakeUserNamespace(),
                           "user namespaces are not allowed here, so no small tmpfs can be filled");
    // A tmpfs smaller than the payload, mounted in a namespace of the test's own; what is left
    // in it afterwards is listed on standard output.
    fs::create_directory(Dir / "mnt");
    TRunOptions opt;
    opt.Stdin = Key + "\n";
    const auto r =
        RunProgram({"/usr/bin/unshare", "-Urm", "/bin/sh", "-c",
                    "mount -t tmpfs -o size=16k tmpfs \"$0\" || exit 9; \"$1\" -o \"$0/out\"; "
                    "rc=$?; ls -A \"$0\"; exit $rc",
                    Dir / "mnt", Dir / "plain.exe"},
                   opt);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find("No space left on device"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "") << "a partial file was left behind";
}

} // namespace
