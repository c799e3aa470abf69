// SPDX-License-Identifier: MIT
#include "cipher/BlockFile.h"

#include "cipher/BlockWriter.h"
#include "cipher/WriteOut.h"
#include "errors/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::string CantOpenText(const std::string& path, const std::string& why) {
    if (why.empty())
        return Format(Translated("Engine", "! Can't open input file %1"), {path});
    return Format(Translated("Engine", "! Can't open input file %1: %2"), {path, why});
}

bool OpenRead(TBlockFile& rec, const std::string& name) {
    rec.InIsStdin = name.empty();
    rec.InPos = 0;
    TUniqueFd fd;
    if (rec.InIsStdin) {
        fd.Reset(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    } else {
        // The reader asks for write access too, as the wipe needs it; a file that may only be
        // read (an installed module, say) is still readable through a read-only open. The open
        // never waits: a FIFO would block it until a writer came, and is refused below anyway.
        constexpr int common = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        fd.Reset(::open(name.c_str(), O_RDWR | common));
        if (!fd && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY))
            fd.Reset(::open(name.c_str(), O_RDONLY | common));
        // Only a regular file has an end to read up to: a FIFO, a terminal or a device could
        // keep the reader waiting or reading for ever.
        struct stat st {};
        if (fd && (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))) {
            fd.Reset();
            errno = 0;
        }
        if (fd) {
            const int flags = ::fcntl(fd.Get(), F_GETFL);
            if (flags >= 0)
                (void)::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    if (!fd) {
        const int err = errno;
        rec.InFile.Reset();
        Tell(rec.Notices, CantOpenText(name), name,
             err != 0 ? IOErrorText(err) : Translated("Engine", "it is not a regular file"));
        return false;
    }
    rec.InFile = std::move(fd);
    struct stat st {};
    if (::fstat(rec.InFile.Get(), &st) != 0)
        RaiseIOError(errno);
    rec.Size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    ReadBlock(rec);
    return true;
}

void ReadBlock(TBlockFile& rec) {
    rec.InPos = 0;
    if (!rec.InFile)
        RaiseIOError(EBADF);
    int32_t got = 0;
    while (got < BlockSize) {
        const ssize_t n = ::read(rec.InFile.Get(), rec.InBuf.data() + got, BlockSize - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseIOError(errno);
        }
        if (n == 0)
            break;
        got += static_cast<int32_t>(n);
    }
    rec.InCount = got;
}

uint8_t ReadByte(TBlockFile& rec) {
    ++rec.InPos;
    const uint8_t b = rec.InBuf[rec.InPos - 1];
    // The next block is read as soon as the last byte of this one is taken.
    if (rec.InPos == rec.InCount)
        ReadBlock(rec);
    return b;
}

void CloseRead(TBlockFile& rec) {
    if (!rec.InFile)
        RaiseIOError(EBADF);
    if (!rec.InFile.Close() && !rec.InIsStdin)
        RaiseIOError(errno);
}

namespace {

// The target's name in messages: standard output has none of its own.
std::string ShownName(const std::string& name) {
    return name.empty() ? Translated("Engine", "(standard output)") : name;
}

} // namespace

bool OpenWrite(TBlockFile& rec, const std::string& name, TOpenWriteMode mode,
               const TOutputRules& rules) {
    rec.OutIsStdout = name.empty();
    rec.WriteFailed = false;
    // The counters are set on failure too: the owner goes on writing bytes, and the first
    // block write must then raise "File not open" rather than run past the buffer.
    rec.OutLimit = BlockSize;
    rec.OutCount = 0;
    rec.OutFile = -1;
    rec.OutName = name;
    (void)mode;
    if (!rec.Output.Open(name, rules)) {
        if (rec.Output.Error() == EEXIST && !rules.MayReplace)
            throw EInOutError(
                Format(Translated("Engine", "'%1' already exists and was left as it is"), {name}),
                EEXIST);
        Tell(rec.Notices, CantOpenText(ShownName(name), rec.Output.Problem()), name,
             rec.Output.Problem().empty() ? IOErrorText(rec.Output.Error()) : std::string());
        return false;
    }
    rec.OutIsStdout = rec.Output.Kind() == TOutputKind::Descriptor;
    rec.OutFile = rec.Output.Fd();
    return true;
}

void WriteBlock(TBlockFile& rec) {
    if (rec.Sink) {
        rec.OutData = rec.Sink->Submit(static_cast<std::size_t>(rec.OutCount));
        rec.OutCount = 0;
        ReportWriterFailures(rec, *rec.Sink);
        return;
    }
    if (rec.OutFile < 0)
        RaiseIOError(EBADF);
    const int32_t count = rec.OutCount;
    rec.OutCount = 0;
    std::size_t done = 0;
    const int err = WriteOut(rec.OutFile, rec.OutBuf.data(), static_cast<size_t>(count), &done);
    if (err == 0)
        return;
    // Part of the block went out before the failure: the rest of it is dropped, and the owner
    // learns that the target is not whole. A failure before any byte raises.
    if (done > 0) {
        rec.WriteFailed = true;
        Tell(rec.Notices, Translated("Engine", WriteErrorMessage), rec.OutName);
        return;
    }
    RaiseIOError(err);
}

void WriteByte(TBlockFile& rec, uint8_t b) {
    ++rec.OutCount;
    rec.OutData[rec.OutCount - 1] = b;
    if (rec.OutCount == rec.OutLimit)
        WriteBlock(rec);
}

void WriteBytes(TBlockFile& rec, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const auto take =
            std::min<size_t>(bytes.size(), static_cast<size_t>(rec.OutLimit - rec.OutCount));
        std::memcpy(rec.OutData + rec.OutCount, bytes.data(), take);
        rec.OutCount += static_cast<int32_t>(take);
        bytes = bytes.subspan(take);
        if (rec.OutCount == rec.OutLimit)
            WriteBlock(rec);
    }
}

std::span<uint8_t> WriteRoom(TBlockFile& rec) {
    return {rec.OutData + rec.OutCount, static_cast<std::size_t>(rec.OutLimit - rec.OutCount)};
}

void WriteCommit(TBlockFile& rec, std::size_t n) {
    rec.OutCount += static_cast<int32_t>(n);
    if (rec.OutCount == rec.OutLimit)
        WriteBlock(rec);
}

void CloseWrite(TBlockFile& rec) {
    WriteBlock(rec);
    const int fd = rec.OutFile;
    rec.OutFile = -1;
    if (rec.Output.IsOpen()) {
        if (rec.WriteFailed)
            rec.Output.Abandon();
        else
            rec.Output.Commit();
        return;
    }
    if (::close(fd) != 0)
        RaiseIOError(errno);
}

void AbandonWrite(TBlockFile& rec) noexcept {
    if (rec.Output.IsOpen())
        rec.Output.Abandon();
    else if (rec.OutFile >= 0)
        ::close(rec.OutFile);
    rec.OutFile = -1;
}

void ReportWriterFailures(TBlockFile& rec, TBlockSink& sink) {
    const TWriterFailures failures = sink.TakeFailures();
    for (int k = 0; k < failures.ShortWrites; ++k) {
        rec.WriteFailed = true;
        Tell(rec.Notices, Translated("Engine", WriteErrorMessage), rec.OutName);
    }
    if (failures.Error)
        std::rethrow_exception(failures.Error);
}

void AttachSink(TBlockFile& rec, TBlockSink& sink) {
    std::memcpy(sink.Current(), rec.OutBuf.data(), static_cast<std::size_t>(rec.OutCount));
    rec.Sink = &sink;
    rec.OutData = sink.Current();
    rec.OutLimit = static_cast<int32_t>(sink.BatchBytes());
}

void DetachSink(TBlockFile& rec) {
    TBlockSink& sink = *rec.Sink;
    const int32_t whole = rec.OutCount / BlockSize * BlockSize;
    const int32_t tail = rec.OutCount - whole;
    std::memcpy(rec.OutBuf.data(), rec.OutData + whole, static_cast<std::size_t>(tail));
    rec.Sink = nullptr;
    rec.OutData = rec.OutBuf.data();
    rec.OutCount = tail;
    rec.OutLimit = BlockSize;
    if (whole > 0)
        (void)sink.Submit(static_cast<std::size_t>(whole));
    sink.Drain();
    ReportWriterFailures(rec, sink);
}

TAttachedWriter::TAttachedWriter(TBlockFile& rec, const uint8_t* source, int64_t sourceSize)
    : Rec(rec), Writer(rec.OutFile, source, sourceSize, rec.Output.Kind() == TOutputKind::Replace) {
    AttachSink(rec, Writer);
}

TAttachedWriter::~TAttachedWriter() {
    // Left by an error: the bytes not yet written are dropped with the thread.
    if (Rec.Sink == &Writer) {
        Rec.Sink = nullptr;
        Rec.OutData = Rec.OutBuf.data();
        Rec.OutCount = 0;
        Rec.OutLimit = BlockSize;
    }
}
