#include "BlockFile.h"

#include "BlockWriter.h"
#include "Errors.h"
#include "Progress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void ShowIOError(const std::string& msg) {
    ShowMessageText(msg);
}

bool OpenRead(TBlockFile& rec, const std::string& name) {
    rec.InIsStdin = name.empty();
    int fd = 0;
    if (!rec.InIsStdin) {
        // The reader asks for write access too, as the wipe needs it; a file that may only be
        // read (an installed module, say) is still readable through a read-only open.
        fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY))
            fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    }
    rec.InPos = 0;
    if (fd < 0) {
        rec.InFile = -1;
        ShowIOError(CantOpenMessage + name);
        return false;
    }
    rec.InFile = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseIOError(errno);
    rec.Size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    ReadBlock(rec);
    return true;
}

void ReadBlock(TBlockFile& rec) {
    rec.InPos = 0;
    if (rec.InFile < 0)
        RaiseIOError(EBADF);
    int32_t got = 0;
    while (got < BlockSize) {
        const ssize_t n = ::read(rec.InFile, rec.InBuf.data() + got, BlockSize - got);
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
    if (rec.InFile < 0)
        RaiseIOError(EBADF);
    const int fd = rec.InFile;
    rec.InFile = -1;
    if (!rec.InIsStdin && ::close(fd) != 0)
        RaiseIOError(errno);
}

bool OpenWrite(TBlockFile& rec, const std::string& name, TOpenWriteMode mode,
               const struct stat* notSameAs) {
    rec.OutIsStdout = name.empty();
    rec.WriteFailed = false;
    int fd = 1;
    if (!rec.OutIsStdout) {
        const int flags = O_RDWR | O_CLOEXEC | (mode == TOpenWriteMode::Truncate ? O_CREAT : 0);
        fd = ::open(name.c_str(), flags, 0666);
        if (fd >= 0) {
            struct stat st {};
            const bool known = ::fstat(fd, &st) == 0;
            const bool same = notSameAs && known && st.st_dev == notSameAs->st_dev &&
                              st.st_ino == notSameAs->st_ino;
            // Emptying happens only after the file is known not to be the source; devices such
            // as /dev/null have nothing to empty.
            // A file that is already empty (just created) is left alone: truncating it anyway
            // makes some file systems write the whole file back when it is closed.
            const bool empty =
                mode == TOpenWriteMode::Truncate && known && S_ISREG(st.st_mode) && st.st_size > 0;
            if (same || (empty && ::ftruncate(fd, 0) != 0)) {
                ::close(fd);
                fd = -1;
            }
        }
    }
    // The counters are set on failure too: the owner goes on writing bytes, and the first
    // block write must then raise "File not open" rather than run past the buffer.
    rec.OutLimit = BlockSize;
    rec.OutCount = 0;
    if (fd < 0) {
        rec.OutFile = -1;
        ShowIOError(CantOpenMessage + name);
        return false;
    }
    rec.OutFile = fd;
    return true;
}

std::size_t WriteOut(int fd, const uint8_t* data, std::size_t n) {
    ssize_t done;
    do {
        done = ::write(fd, data, n);
    } while (done < 0 && errno == EINTR);
    if (done < 0)
        RaiseIOError(errno);
    return static_cast<std::size_t>(done);
}

void WriteBlock(TBlockFile& rec) {
    if (rec.Writer) {
        rec.WriterBuf = rec.Writer->Submit(static_cast<std::size_t>(rec.OutCount));
        rec.OutCount = 0;
        ReportWriterFailures(rec, *rec.Writer);
        return;
    }
    if (rec.OutFile < 0)
        RaiseIOError(EBADF);
    const auto count = static_cast<std::size_t>(rec.OutCount);
    rec.OutCount = 0;
    if (WriteOut(rec.OutFile, rec.OutBuf.data(), count) < count) {
        rec.WriteFailed = true;
        ShowIOError(WriteErrorMessage);
    }
}

namespace {

uint8_t* OutData(TBlockFile& rec) {
    return rec.Writer ? rec.WriterBuf : rec.OutBuf.data();
}

} // namespace

void WriteByte(TBlockFile& rec, uint8_t b) {
    ++rec.OutCount;
    OutData(rec)[rec.OutCount - 1] = b;
    if (rec.OutCount == rec.OutLimit)
        WriteBlock(rec);
}

void WriteBytes(TBlockFile& rec, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const auto take =
            std::min<size_t>(bytes.size(), static_cast<size_t>(rec.OutLimit - rec.OutCount));
        std::memcpy(OutData(rec) + rec.OutCount, bytes.data(), take);
        rec.OutCount += static_cast<int32_t>(take);
        bytes = bytes.subspan(take);
        if (rec.OutCount == rec.OutLimit)
            WriteBlock(rec);
    }
}

std::span<uint8_t> WriteRoom(TBlockFile& rec) {
    return {OutData(rec) + rec.OutCount, static_cast<std::size_t>(rec.OutLimit - rec.OutCount)};
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
    if (!rec.OutIsStdout && ::close(fd) != 0)
        RaiseIOError(errno);
}

void FlushToDevice(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        RaiseIOError(errno);
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        RaiseIOError(err);
    }
    ::close(fd);
}
