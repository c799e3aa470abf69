// SPDX-License-Identifier: MIT
#include "cipher/BlockFile.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

class BlockFileTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TNoticeRecorder Recorder;
};

// What has gone out to the file being written: until it is closed it has no name of its own.
uintmax_t Written(const TBlockFile& rec) {
    struct stat st {};
    return ::fstat(rec.OutFile, &st) == 0 ? static_cast<uintmax_t>(st.st_size) : ~uintmax_t{0};
}

TEST_F(BlockFileTest, read_emptyFileHasNoBytes) {
    WriteAll(Dir / "empty", {});
    TBlockFile rec;
    ASSERT_TRUE(OpenRead(rec, Dir / "empty"));
    EXPECT_EQ(rec.Size, 0);
    EXPECT_EQ(rec.InCount, 0);
    EXPECT_EQ(rec.InPos, 0);
    CloseRead(rec);
}

TEST_F(BlockFileTest, read_nextBlockIsReadRightAfterTheLastByteOfABlock) {
    const auto data = RandomBytes(BlockSize + 5, 1);
    WriteAll(Dir / "f", data);
    TBlockFile rec;
    ASSERT_TRUE(OpenRead(rec, Dir / "f"));
    EXPECT_EQ(rec.Size, BlockSize + 5);
    EXPECT_EQ(rec.InCount, BlockSize);
    for (int32_t n = 0; n < BlockSize; ++n)
        ASSERT_EQ(ReadByte(rec), data[static_cast<size_t>(n)]);
    EXPECT_EQ(rec.InCount, 5);
    EXPECT_EQ(rec.InPos, 0);
    for (int32_t n = 0; n < 5; ++n)
        ASSERT_EQ(ReadByte(rec), data[static_cast<size_t>(BlockSize + n)]);
    EXPECT_EQ(rec.InCount, 0);
    CloseRead(rec);
}

TEST_F(BlockFileTest, read_exactlyOneBlockEndsWithCountZero) {
    WriteAll(Dir / "f", RandomBytes(BlockSize, 2));
    TBlockFile rec;
    ASSERT_TRUE(OpenRead(rec, Dir / "f"));
    for (int32_t n = 0; n < BlockSize; ++n)
        (void)ReadByte(rec);
    EXPECT_EQ(rec.InCount, 0);
    CloseRead(rec);
}

TEST_F(BlockFileTest, read_missingFileIsToldAndKeepsSize) {
    TBlockFile rec;
    rec.Notices = &Recorder;
    rec.Size = 77;
    EXPECT_FALSE(OpenRead(rec, Dir / "nothing"));
    EXPECT_EQ(rec.Size, 77);
    ASSERT_EQ(Recorder.Messages.size(), 1u);
    EXPECT_EQ(Recorder.Messages[0], "! Can't open input file " + (Dir / "nothing"));
    EXPECT_EQ(Recorder.Paths[0], Dir / "nothing");
    try {
        CloseRead(rec);
        FAIL() << "closing a half that is not open must raise";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not open");
    }
}

// A FIFO would block the open until a writer came, and then the reads for ever; a folder or a
// device has no end to read up to. A watchdog ends the test program should an open block.
TEST_F(BlockFileTest, read_whatIsNotARegularFileIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(Dir / "folder");
    ::alarm(60);
    for (const std::string& path : {Dir / "fifo", Dir / "folder", std::string("/dev/zero")}) {
        Recorder.Clear();
        TBlockFile rec;
        rec.Notices = &Recorder;
        EXPECT_FALSE(OpenRead(rec, path)) << path;
        EXPECT_EQ(Recorder.Messages, std::vector<std::string>{"! Can't open input file " + path});
    }
    ::alarm(0);
}

TEST_F(BlockFileTest, write_blockGoesOutOnItsLastByte) {
    TBlockFile rec;
    rec.Notices = &Recorder;
    ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
    for (int32_t n = 0; n < BlockSize - 1; ++n)
        WriteByte(rec, 1);
    EXPECT_EQ(Written(rec), 0u);
    WriteByte(rec, 1);
    EXPECT_EQ(rec.OutCount, 0);
    EXPECT_EQ(Written(rec), static_cast<uintmax_t>(BlockSize));
    EXPECT_FALSE(fs::exists(Dir / "out")) << "a file takes its name only when it is whole";
    WriteByte(rec, 2);
    EXPECT_EQ(rec.OutCount, 1);
    CloseWrite(rec);
    EXPECT_EQ(fs::file_size(Dir / "out"), static_cast<uintmax_t>(BlockSize + 1));
    EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(BlockFileTest, writeBytes_writesBlocksAtTheSameMomentsAsSingleBytes) {
    const auto data = RandomBytes(3 * BlockSize + 17, 5);
    TBlockFile rec;
    ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
    WriteByte(rec, data[0]);
    WriteBytes(rec, std::span<const uint8_t>(data.data() + 1, BlockSize));
    EXPECT_EQ(Written(rec), static_cast<uintmax_t>(BlockSize));
    EXPECT_EQ(rec.OutCount, 1);
    WriteBytes(rec,
               std::span<const uint8_t>(data.data() + 1 + BlockSize, data.size() - 1 - BlockSize));
    CloseWrite(rec);
    EXPECT_EQ(ReadAll(Dir / "out"), data);
}

// The existing file is replaced whole when the writer is closed, never emptied first; a writer
// that ends without closing leaves it as it was.
TEST_F(BlockFileTest, write_existingFileStaysWholeUntilTheNewOneIsClosed) {
    const auto old = RandomBytes(500, 3);
    WriteAll(Dir / "old", old);
    TBlockFile rec;
    ASSERT_TRUE(OpenWrite(rec, Dir / "old"));
    WriteBytes(rec, std::vector<uint8_t>(BlockSize + 5, 9));
    EXPECT_EQ(ReadAll(Dir / "old"), old);
    AbandonWrite(rec);
    EXPECT_EQ(ReadAll(Dir / "old"), old);
    ASSERT_TRUE(OpenWrite(rec, Dir / "old"));
    WriteByte(rec, 4);
    EXPECT_EQ(ReadAll(Dir / "old"), old);
    CloseWrite(rec);
    EXPECT_EQ(ReadAll(Dir / "old"), std::vector<uint8_t>{4});
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 1);
}

TEST_F(BlockFileTest, write_missingFolderIsToldWithTheReadText_thenFirstBlockRaises) {
    TBlockFile rec;
    rec.Notices = &Recorder;
    const std::string path = Dir / "no/such/file";
    EXPECT_FALSE(OpenWrite(rec, path));
    ASSERT_EQ(Recorder.Messages.size(), 1u);
    EXPECT_EQ(Recorder.Messages[0], "! Can't open input file " + path);
    EXPECT_EQ(Recorder.Paths[0], path);
    WriteByte(rec, 1);                          // bytes are taken without looking at the file...
    EXPECT_THROW(CloseWrite(rec), EInOutError); // ...until a block must be written
}

TEST_F(BlockFileTest, write_fullDeviceRaisesDiskFull) {
    TBlockFile rec;
    ASSERT_TRUE(OpenWrite(rec, "/dev/full"));
    WriteByte(rec, 1);
    try {
        CloseWrite(rec);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Disk full");
    }
}

TEST_F(BlockFileTest, sameRecordReadsSizeThenRewritesTheFileFromItsStart) {
    WriteAll(Dir / "f", RandomBytes(300, 4));
    TBlockFile rec;
    ASSERT_TRUE(OpenRead(rec, Dir / "f"));
    const int64_t n = rec.Size;
    CloseRead(rec);
    ASSERT_TRUE(OpenWrite(rec, Dir / "f"));
    for (int64_t k = 0; k < n; ++k)
        WriteByte(rec, 0x0F);
    CloseWrite(rec);
    EXPECT_EQ(ReadAll(Dir / "f"), std::vector<uint8_t>(300, 0x0F));
    EXPECT_EQ(rec.Size, 300);
}

// A sink of the test's own, two buffers of three blocks: keeps every hand-over, writes nothing.
class TKeepingSink final : public TBlockSink {
public:
    [[nodiscard]] uint8_t* Current() const override { return Buffers[Filling].data(); }
    [[nodiscard]] std::size_t BatchBytes() const override { return Batch; }
    [[nodiscard]] uint8_t* Submit(std::size_t n) override {
        Batches.emplace_back(Buffers[Filling].begin(), Buffers[Filling].begin() + n);
        Filling ^= 1;
        return Current();
    }
    void Drain() override { ++Drains; }
    [[nodiscard]] TWriterFailures TakeFailures() override {
        TWriterFailures failures;
        failures.ShortWrites = std::exchange(CutShort, 0);
        failures.Error = std::exchange(FailWith, nullptr);
        return failures;
    }
    static constexpr std::size_t Batch = 3 * BlockSize;
    mutable std::vector<uint8_t> Buffers[2] = {std::vector<uint8_t>(Batch),
                                               std::vector<uint8_t>(Batch)};
    int Filling = 0;
    std::vector<std::vector<uint8_t>> Batches;
    int Drains = 0;
    int CutShort = 0;
    std::exception_ptr FailWith;
};

// With a sink attached the record hands over whole batches only, the bytes waiting in its own
// block leading the first; detaching hands over the whole blocks left, waits once, and gives
// the last partial block back to the record, which writes it to the file on closing.
TEST_F(BlockFileTest, sink_takesWholeBatches_waitingBytesLead_partialBlockComesBack) {
    const auto data = RandomBytes(7 * BlockSize + 128, 7);
    TBlockFile rec;
    ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
    WriteBytes(rec, std::span<const uint8_t>(data.data(), 5));
    TKeepingSink sink;
    AttachSink(rec, sink);
    for (std::size_t at = 5; at < 5 + BlockSize; ++at)
        WriteByte(rec, data[at]);
    WriteBytes(rec,
               std::span<const uint8_t>(data.data() + 5 + BlockSize, data.size() - 5 - BlockSize));
    ASSERT_EQ(sink.Batches.size(), 2u);
    EXPECT_EQ(sink.Drains, 0);
    DetachSink(rec);
    EXPECT_EQ(sink.Drains, 1);
    ASSERT_EQ(sink.Batches.size(), 3u);
    EXPECT_EQ(sink.Batches[0].size(), TKeepingSink::Batch);
    EXPECT_EQ(sink.Batches[1].size(), TKeepingSink::Batch);
    EXPECT_EQ(sink.Batches[2].size(), static_cast<std::size_t>(BlockSize));
    EXPECT_EQ(rec.OutCount, 128);
    EXPECT_EQ(Written(rec), 0u);
    CloseWrite(rec);
    std::vector<uint8_t> all;
    for (const auto& batch : sink.Batches)
        all.insert(all.end(), batch.begin(), batch.end());
    const auto tail = ReadAll(Dir / "out");
    all.insert(all.end(), tail.begin(), tail.end());
    EXPECT_EQ(all, data);
}

// What the sink met is raised on the write that hands it a batch, not on the bytes before.
TEST_F(BlockFileTest, sink_errorIsRaisedOnTheHandOver) {
    TBlockFile rec;
    ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
    TKeepingSink sink;
    AttachSink(rec, sink);
    sink.FailWith = std::make_exception_ptr(EInOutError("Disk full", ENOSPC));
    WriteBytes(rec, std::vector<uint8_t>(TKeepingSink::Batch - 1, 1));
    EXPECT_TRUE(sink.Batches.empty());
    try {
        WriteByte(rec, 1);
        FAIL() << "the sink's error must reach the writer";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Disk full");
    }
    EXPECT_EQ(sink.Batches.size(), 1u);
    AbandonWrite(rec);
    EXPECT_FALSE(fs::exists(Dir / "out"));
}

// A batch the sink wrote only in part is told, once, naming the target, and the run goes on;
// closing then leaves the file under the name as it was, never a target with a hole in it.
TEST_F(BlockFileTest, sink_shortWriteIsToldAndTheTargetStaysAsItWas) {
    WriteAll(Dir / "out", {1, 2, 3});
    TBlockFile rec;
    rec.Notices = &Recorder;
    ASSERT_TRUE(OpenWrite(rec, Dir / "out"));
    TKeepingSink sink;
    AttachSink(rec, sink);
    sink.CutShort = 1;
    WriteBytes(rec, std::vector<uint8_t>(TKeepingSink::Batch * 2, 7));
    DetachSink(rec);
    EXPECT_EQ(Recorder.Messages, std::vector<std::string>{"! Error writing output file"});
    EXPECT_EQ(Recorder.Paths, std::vector<std::string>{Dir / "out"});
    CloseWrite(rec);
    EXPECT_EQ(ReadAll(Dir / "out"), (std::vector<uint8_t>{1, 2, 3}));
}

} // namespace
