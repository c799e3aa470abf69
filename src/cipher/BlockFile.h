// SPDX-License-Identifier: MIT
#pragma once
// Buffered block file reader and writer: the file operations read and write one byte at a
// time, and this record turns those calls into reads and writes of whole 10240-byte blocks.
// Opening problems and short block writes are given to the record's notice receiver, and the
// run goes on (an open reports false); failures the system reports on a read, write or close
// raise EInOutError. Written bytes go out block by block from the record itself, or in batches
// through a sink (BlockSink.h), such as the writer thread of BlockWriter.h.

#include "cipher/BlockSink.h"
#include "cipher/BlockWriter.h"
#include "cipher/Notices.h"
#include "cipher/SafeOutput.h"
#include "cipher/UniqueFd.h"
#include "lang/Texts.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include <sys/stat.h>

inline constexpr const char* CantOpenMessage = "! Can't open input file ";
// Looked up whole when a notice gives it.
inline constexpr const char* WriteErrorMessage =
    CALYXOR_TEXT("Engine", "! Error writing output file");

// CantOpenMessage followed by the path, as one sentence in the user's language; why, when
// given, says what was wrong with the path.
[[nodiscard]] std::string CantOpenText(const std::string& path, const std::string& why = {});

struct TBlockFile {
    // Size of the file opened for reading. 64 bits, so that files of 2 GiB and more are
    // measured correctly.
    int64_t Size = 0;
    // Standard input is read through a duplicate, so that closing the reader never closes it.
    TUniqueFd InFile;
    int OutFile = -1;
    // The buffers are 1-based in the counters' terms: InBuf[InPos - 1] is the byte last taken.
    std::array<uint8_t, BlockSize> InBuf;
    std::array<uint8_t, BlockSize> OutBuf;
    int32_t InPos = 0;
    int32_t InCount = 0;
    int32_t OutCount = 0;
    int32_t OutLimit = 0;
    // Set when a block write completed short: the owner must not report success then.
    bool WriteFailed = false;
    bool InIsStdin = false;
    bool OutIsStdout = false;
    // The target of a writer that creates or empties its file: it owns OutFile, and the file
    // takes the target's name only when CloseWrite has written it whole.
    TSafeOutput Output;
    // Where the bytes being written gather: OutBuf, or the buffer of the sink attached.
    uint8_t* OutData = OutBuf.data();
    // When a sink is attached (AttachSink), OutLimit is its batch's size and a full batch goes
    // to the sink; without one, each full block is written to OutFile here.
    TBlockSink* Sink = nullptr;
    // Where the owner of the record hears of the problems after which it goes on; set before
    // the open. None: they are not told, and only WriteFailed and the open's result say them.
    TNoticeReceiver* Notices = nullptr;
    // The name the output half was opened under, for the notices about it.
    std::string OutName;
};

// An existing file is never written into: a new one takes its place when it is closed whole.
enum class TOpenWriteMode {
    Truncate,
};

[[nodiscard]] bool OpenRead(TBlockFile& rec, const std::string& name);
void ReadBlock(TBlockFile& rec);
uint8_t ReadByte(TBlockFile& rec);
void CloseRead(TBlockFile& rec);

// rules.NotSameAs: a target that turns out to be that very file (the same path, a hard link, a
// symbolic link to it, or a descriptor open on it) is refused like a file that cannot be
// opened, before anything is written. A target that may not be replaced and exists raises
// EInOutError naming it.
[[nodiscard]] bool OpenWrite(TBlockFile& rec, const std::string& name,
                             TOpenWriteMode mode = TOpenWriteMode::Truncate,
                             const TOutputRules& rules = {});
void WriteBlock(TBlockFile& rec);
void WriteByte(TBlockFile& rec, uint8_t b);
// The same as calling WriteByte for each byte, blocks written at the same moments.
void WriteBytes(TBlockFile& rec, std::span<const uint8_t> bytes);
// For writers that produce bytes in place: the free part of the waiting block, and the
// announcement that its first n bytes have been filled (the block goes out when full, exactly
// as with WriteByte).
[[nodiscard]] std::span<uint8_t> WriteRoom(TBlockFile& rec);
void WriteCommit(TBlockFile& rec, std::size_t n);
// Writes the waiting bytes and puts the file in place; after a block that went out short, the
// target is left as it was instead.
void CloseWrite(TBlockFile& rec);
// Ends writing without a result: the target stays as it was. For the error paths; does nothing when
// the output half is closed.
void AbandonWrite(TBlockFile& rec) noexcept;

// Routes the record's writes through sink: full batches go to it instead of full blocks being
// written here. Bytes already waiting in the record's block move along.
void AttachSink(TBlockFile& rec, TBlockSink& sink);
// Writes every whole block the record holds and waits for them; the bytes of a last, partial
// block go back to the record's own block, so that closing writes them as it always has. Tells
// and raises what the sink met, as WriteBlock does.
void DetachSink(TBlockFile& rec);
// Tells and raises what the sink has met so far (WriteBlock calls it after each hand-over).
void ReportWriterFailures(TBlockFile& rec, TBlockSink& sink);

// A writer thread attached to a record for this object's life. Leaving by an error drops what
// was not yet written; Finish is DetachSink.
class TAttachedWriter {
public:
    TAttachedWriter(TBlockFile& rec, const uint8_t* source, int64_t sourceSize);
    ~TAttachedWriter();
    TAttachedWriter(const TAttachedWriter&) = delete;
    TAttachedWriter& operator=(const TAttachedWriter&) = delete;
    void Finish() { DetachSink(Rec); }
    void Reached(int64_t offset) { Writer.Reached(offset); }

private:
    TBlockFile& Rec;
    TBlockWriter Writer;
};
