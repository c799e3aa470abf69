// SPDX-License-Identifier: MIT
// The writer thread: the files it makes are the plain writer's to the byte, whatever the size
// against blocks and batches; what it meets is told on the caller's thread, in order; and a
// failed write is never success.

#include "cipher/BlockWriter.h"
#include "cipher/BlockFile.h"
#include "cipher/FileTransform.h"
#include "cipher/UniqueFd.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> Key = {'c', 'o', 'r', 'r', 'e', 'c', 't', ' ', 'h', 'o', 'r', 's', 'e'};

// The sizes where a run's last write changes shape: around a block, around a batch, and
// several batches with a tail that is neither.
const std::size_t Sizes[] = {1,
                             BlockSize - 1,
                             BlockSize,
                             BlockSize + 1,
                             BatchSize - 1,
                             BatchSize,
                             BatchSize + 1,
                             6 * BatchSize + 3 * BlockSize + 77,
                             (std::size_t{3} << 20) + 12345};

// Progress writes and messages as the window would get them, with the thread each came on.
class TThreadRecorder : public TProgressReceiver {
public:
    void SetMinValue(int32_t v) override { Add("min " + std::to_string(v)); }
    void SetMaxValue(int32_t v) override { Add("max " + std::to_string(v)); }
    void SetProgress(int32_t v) override { Add("pos " + std::to_string(v)); }
    void Add(const std::string& call) {
        Calls.push_back(call);
        Threads.push_back(std::this_thread::get_id());
    }
    bool AllOn(std::thread::id id) const {
        return std::all_of(Threads.begin(), Threads.end(), [&](auto t) { return t == id; });
    }
    std::vector<std::string> Calls;
    std::vector<std::thread::id> Threads;
};

// Records the notices' texts and the threads they were given on.
class TThreadNotices : public TNoticeReceiver {
public:
    void Notice(const TNotice& notice) override {
        Texts.push_back(notice.Text);
        Threads.push_back(std::this_thread::get_id());
    }
    bool AllOn(std::thread::id id) const {
        return std::all_of(Threads.begin(), Threads.end(), [&](auto t) { return t == id; });
    }
    std::vector<std::string> Texts;
    std::vector<std::thread::id> Threads;
};

class BlockWriterTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TNoticeRecorder Messages;
};

TEST_F(BlockWriterTest, files_areTheTransformToTheByte_atEverySizeAroundBlocksAndBatches) {
    for (const std::size_t size : Sizes) {
        SCOPED_TRACE("size " + std::to_string(size));
        const auto data = RandomBytes(size, static_cast<uint32_t>(size));
        WriteAll(Dir / "s", data);
        ASSERT_TRUE(EncryptFileCore(Dir / "s", Dir / "s.ash", Key, {}, nullptr, &Messages));
        const auto enc = ReadAll(Dir / "s.ash");
        ASSERT_EQ(enc, ref::transform(Key, data, true));
        ASSERT_TRUE(DecryptFileCore(Dir / "s.ash", Dir / "back", Key, nullptr, &Messages));
        ASSERT_EQ(ReadAll(Dir / "back"), data);
    }
    EXPECT_TRUE(Messages.Messages.empty());
}

// A module ahead of the data leaves bytes waiting in the record's block when the thread takes
// over, and shifts every batch against the source; some lengths leave the batches on the file
// system's alignment for direct writes, some off it, some with no byte waiting.
TEST_F(BlockWriterTest, files_withAModuleAhead_areModuleThenTheSameEncryptedBytes) {
    const auto data = RandomBytes(2 * BatchSize + 7, 51);
    WriteAll(Dir / "s", data);
    const auto enc = ref::transform(Key, data, true);
    for (const std::size_t length : {std::size_t{3} * BlockSize + 4321,
                                     std::size_t{2} * BlockSize + 99, std::size_t{4} * BlockSize}) {
        SCOPED_TRACE("module of " + std::to_string(length));
        const auto module = RandomBytes(length, 50);
        WriteAll(Dir / "m.sfx", module);
        auto expected = module;
        expected.insert(expected.end(), enc.begin(), enc.end());
        const TModulePrefix sfx{Dir / "m.sfx", static_cast<int32_t>(module.size())};
        ASSERT_TRUE(EncryptFileCore(Dir / "s", Dir / "s.exe", Key, &sfx, nullptr, &Messages));
        EXPECT_EQ(ReadAll(Dir / "s.exe"), expected);
    }
}

// Counts the pages of the first size bytes of a file that are in the page cache.
std::size_t CachedPages(const fs::path& path, std::size_t size) {
    const TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.Get(), 0);
    if (view == MAP_FAILED)
        return SIZE_MAX;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident(size / page);
    const int got = ::mincore(view, size, resident.data());
    ::munmap(view, size);
    if (got != 0)
        return SIZE_MAX;
    return static_cast<std::size_t>(
        std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }));
}

// Where the file system takes direct writes, the whole batches of a target the program opened
// go to the device without a copy in the page cache: encrypting a large file does not push the
// user's cached files out. A descriptor the program was given (here /dev/fd/N) may be shared
// with other processes: its flags are never changed, and everything goes through the cache.
TEST_F(BlockWriterTest, target_wholeBatchesBypassThePageCache_onlyInFilesTheProgramOpened) {
    WriteAll(Dir / "probe", {1});
    const TUniqueFd probe(::open((Dir / "probe").c_str(), O_RDONLY | O_CLOEXEC));
    struct statx sx {};
    if (::statx(probe.Get(), "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) != 0 ||
        (sx.stx_mask & STATX_DIOALIGN) == 0 || sx.stx_dio_offset_align == 0)
        GTEST_SKIP() << "the temporary folder's file system takes no direct writes";
    const std::size_t whole = std::size_t{8} * BatchSize;
    const std::size_t pages = whole / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const auto data = RandomBytes(whole + 5, 56);
    WriteAll(Dir / "s", data);
    const auto expected = ref::transform(Key, data, true);

    ASSERT_TRUE(EncryptFileCore(Dir / "s", Dir / "own.ash", Key, {}, nullptr, nullptr));
    EXPECT_LT(CachedPages(Dir / "own.ash", whole), pages / 8) << "of " << pages;
    EXPECT_EQ(ReadAll(Dir / "own.ash"), expected);

    const TUniqueFd given(
        ::open((Dir / "given.ash").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const int flags = ::fcntl(given.Get(), F_GETFL);
    ASSERT_TRUE(EncryptFileCore(Dir / "s", "/dev/fd/" + std::to_string(given.Get()), Key, {},
                                nullptr, nullptr));
    EXPECT_EQ(::fcntl(given.Get(), F_GETFL), flags);
    EXPECT_GT(CachedPages(Dir / "given.ash", whole), pages / 2) << "of " << pages;
    EXPECT_EQ(ReadAll(Dir / "given.ash"), expected);
}

// The record with a writer attached, fed in uneven pieces; closing after detaching writes the
// last partial block as the plain writer does. Zero bytes make an empty file.
TEST_F(BlockWriterTest, record_unevenPiecesThroughTheThread_makeTheSameFile) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{BatchSize} * 3 + 5}) {
        const auto data = RandomBytes(size, 52);
        TBlockFile rec;
        ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
        {
            TAttachedWriter writer(rec, nullptr, 0);
            std::size_t at = 0;
            for (std::size_t piece = 1; at < size; piece = piece * 3 % 20011 + 1) {
                const std::size_t n = std::min(piece, size - at);
                WriteBytes(rec, std::span<const uint8_t>(data.data() + at, n));
                at += n;
            }
            writer.Finish();
        }
        EXPECT_LT(rec.OutCount, BlockSize);
        CloseWrite(rec);
        EXPECT_EQ(ReadAll(Dir / "out"), data) << size;
    }
}

// The progress writes of a file of many batches are those of the plain loop, computed here
// from their rule: byte 0, every block's first byte, then 0; all on the caller's thread.
TEST_F(BlockWriterTest, progress_sameSequenceAsBlockByBlock_onTheCallersThread) {
    const std::size_t size = 5 * BatchSize + 2 * BlockSize + 99;
    WriteAll(Dir / "s", RandomBytes(size, 53));
    std::vector<std::string> expected{"min 0", "max " + std::to_string(size)};
    for (std::size_t p = 0; p < size; p += BlockSize)
        expected.push_back("pos " + std::to_string(p));
    expected.push_back("pos 0");
    for (const bool encrypt : {true, false}) {
        TThreadRecorder progress;
        const TTransformResult result =
            encrypt ? EncryptFileCore(Dir / "s", Dir / "t", Key, {}, &progress, nullptr)
                    : DecryptFileCore(Dir / "s", Dir / "t", Key, &progress, nullptr);
        ASSERT_TRUE(result);
        EXPECT_EQ(progress.Calls, expected);
        EXPECT_TRUE(progress.AllOn(std::this_thread::get_id()));
    }
}

// A device that is full from the first write: the thread stops, and the caller, which may be
// waiting for a free buffer by then, gets the error instead of waiting for ever.
TEST_F(BlockWriterTest, failure_fullDeviceRaisesDiskFullOnTheCaller_inBothDirections) {
    WriteAll(Dir / "s", RandomBytes(2 << 20, 54));
    for (const bool encrypt : {true, false}) {
        try {
            (void)(encrypt ? EncryptFileCore(Dir / "s", "/dev/full", Key, {}, nullptr, &Messages)
                           : DecryptFileCore(Dir / "s", "/dev/full", Key, nullptr, &Messages));
            ADD_FAILURE() << "a full device must not end normally";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Message(), "Disk full");
        }
    }
    EXPECT_TRUE(Messages.Messages.empty());
}

// A file-size limit fails the first write outright, or lets some writes through and cuts the
// next one short (the one after it then fails with "File too large"), or ends exactly on a
// batch's edge. Each runs
// in a child, as the limit holds for the whole process; the child's exit code tells what it
// saw.
TEST_F(BlockWriterTest, failure_shortWriteMidFile_isToldOnTheCallerThenRaised_neverSuccess) {
    const auto data = RandomBytes(std::size_t{BatchSize} * 8 + 12345, 55);
    WriteAll(Dir / "s", data);
    for (const rlim_t limit : {rlim_t{0}, rlim_t{BlockSize}, rlim_t{BatchSize},
                               rlim_t{BatchSize} * 2 + 5000, rlim_t{BatchSize} * 5}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{limit, limit};
            setrlimit(RLIMIT_FSIZE, &lim);
            TThreadNotices seen;
            int code = 9;
            try {
                const TTransformResult result =
                    EncryptFileCore(Dir / "s", Dir / "t", Key, {}, nullptr, &seen);
                code = result ? 1 : 2;
            } catch (const EInOutError& e) {
                // A write cut short is told before the error of the write after it.
                const bool toldFirst =
                    seen.Texts.empty() ||
                    seen.Texts == std::vector<std::string>{"! Error writing output file"};
                code = !seen.AllOn(std::this_thread::get_id()) ? 3
                       : !toldFirst                            ? 4
                       : e.Message() != "File too large"       ? 5
                                                               : 0;
            } catch (...) {
                code = 6;
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1: success reported, 2: no error raised, 3: told on another thread, "
               "4: wrong messages, 5: wrong error, 6: another exception";
        // Whatever the limit let through stayed in the temporary file: no target appears.
        EXPECT_FALSE(fs::exists(Dir / "t"));
        EXPECT_EQ(ReadAll(Dir / "s"), data);
    }
}

} // namespace
