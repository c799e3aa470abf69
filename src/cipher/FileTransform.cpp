#include "FileTransform.h"

#include "BlockFile.h"
#include "BlockWriter.h"
#include "Errors.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- reading the mapped source safely ---------------------------------------------------
// A source that another program truncates while it is read makes the mapping fault
// (SIGBUS). The transform of each block runs under a guard that turns that fault into an
// error instead of a crash.

thread_local sigjmp_buf* tBusGuard = nullptr;

void BusHandler(int sig, siginfo_t*, void*) {
    if (tBusGuard)
        siglongjmp(*tBusGuard, 1);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

class TBusGuardScope {
public:
    TBusGuardScope() {
        struct sigaction sa {};
        sa.sa_sigaction = BusHandler;
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &Old);
    }
    ~TBusGuardScope() { ::sigaction(SIGBUS, &Old, nullptr); }
    TBusGuardScope(const TBusGuardScope&) = delete;
    TBusGuardScope& operator=(const TBusGuardScope&) = delete;

private:
    struct sigaction Old {};
};

using TBufferFn = void (*)(TTransformState&, const uint8_t*, uint8_t*, std::size_t);

// No object with a destructor lives in this frame, so leaving it through siglongjmp is sound.
bool GuardedTransform(TBufferFn fn, TTransformState& state, const uint8_t* in, uint8_t* out,
                      std::size_t n) {
    sigjmp_buf env;
    // The handler runs with SA_NODEFER, so no signal mask needs restoring: saving it would
    // cost a system call for every block.
    if (sigsetjmp(env, 0) != 0) {
        tBusGuard = nullptr;
        return false;
    }
    tBusGuard = &env;
    fn(state, in, out, n);
    tBusGuard = nullptr;
    return true;
}

// ---- the mapped source ---------------------------------------------------------------------

class TMappedSource {
public:
    explicit TMappedSource(const std::string& path) : Path(path) {
        struct stat st {};
        // A folder is not a file, as the existence test of the program's home platform says.
        if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            throw Exception("File does not exist.");
        if (!S_ISREG(st.st_mode))
            throw Exception("'" + path + "' is not a regular file: only ordinary files can be " +
                            "encrypted or decrypted.");
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat fst {};
        if (fd < 0 || ::fstat(fd, &fst) != 0 || fst.st_size <= 0 || !S_ISREG(fst.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            // An empty file cannot be mapped, nor can one that cannot be opened.
            throw Exception("Failed to create file mapping.");
        }
        Stat = fst;
        Size = fst.st_size;
        void* view = ::mmap(nullptr, static_cast<size_t>(Size), PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd); // the mapping keeps the file open
        if (view == MAP_FAILED)
            throw Exception("Failed to map view of file.");
        Data = static_cast<const uint8_t*>(view);
        // The source is read once, in order: the kernel may read ahead and drop behind.
        ::madvise(view, static_cast<size_t>(Size), MADV_SEQUENTIAL);
    }
    ~TMappedSource() { ::munmap(const_cast<uint8_t*>(Data), static_cast<size_t>(Size)); }
    TMappedSource(const TMappedSource&) = delete;
    TMappedSource& operator=(const TMappedSource&) = delete;

    // Lets go of the pages before offset, so that memory stays flat however large the file.
    void Release(int64_t offset) {
        const int64_t page = ::sysconf(_SC_PAGESIZE);
        const int64_t end = offset / page * page;
        if (end > Released) {
            ::madvise(const_cast<uint8_t*>(Data) + Released, static_cast<size_t>(end - Released),
                      MADV_DONTNEED);
            Released = end;
        }
    }

    // True when the file at the path is no longer what was mapped, or has been written since:
    // appended bytes were never read, and a file saved anew under the name is another file.
    // Either way the target is not a whole copy, and the source must not be wiped after it.
    [[nodiscard]] bool ChangedSinceMapped() const {
        struct stat now {};
        return ::stat(Path.c_str(), &now) != 0 || now.st_dev != Stat.st_dev ||
               now.st_ino != Stat.st_ino || now.st_size != Stat.st_size ||
               now.st_mtim.tv_sec != Stat.st_mtim.tv_sec ||
               now.st_mtim.tv_nsec != Stat.st_mtim.tv_nsec ||
               now.st_ctim.tv_sec != Stat.st_ctim.tv_sec ||
               now.st_ctim.tv_nsec != Stat.st_ctim.tv_nsec;
    }

    const std::string Path;
    const uint8_t* Data = nullptr;
    int64_t Size = 0;
    int64_t Released = 0;
    struct stat Stat {};
};

class TProgressWriter {
public:
    TProgressWriter(TProgressReceiver* receiver, int64_t size)
        : Receiver(receiver), Shift(ProgressShift(size)) {}
    void Min(int32_t v) {
        if (Receiver)
            Receiver->SetMinValue(v);
    }
    void Max(int64_t v) {
        if (Receiver)
            Receiver->SetMaxValue(static_cast<int32_t>(v >> Shift));
    }
    void Position(int64_t v) {
        if (Receiver)
            Receiver->SetProgress(static_cast<int32_t>(v >> Shift));
    }

private:
    TProgressReceiver* Receiver;
    int Shift;
};

// Closes whatever the record still holds open when an operation ends by an error.
class TFileCloser {
public:
    explicit TFileCloser(TBlockFile& rec) : Rec(rec) {}
    ~TFileCloser() {
        // The last block of transformed bytes is not left behind on the stack.
        SecureWipe(Rec.OutBuf.data(), Rec.OutBuf.size());
        if (Rec.OutFile >= 0 && !Rec.OutIsStdout)
            ::close(Rec.OutFile);
        if (Rec.InFile >= 0 && !Rec.InIsStdin)
            ::close(Rec.InFile);
    }
    TFileCloser(const TFileCloser&) = delete;
    TFileCloser& operator=(const TFileCloser&) = delete;

private:
    TBlockFile& Rec;
};

// The generator state is overwritten however the run ends.
struct TWipedTransform : TTransformState {
    TWipedTransform() = default;
    TWipedTransform(const TWipedTransform&) = delete;
    TWipedTransform& operator=(const TWipedTransform&) = delete;
    ~TWipedTransform() { CipherWipe(Cipher); }
};

// How often the consumed part of the mapping is given back.
constexpr int64_t ReleaseEvery = 8 << 20;

// Run every source byte through the transform, writing the results, with a progress write
// after byte 0, 10240, 20480, ...
void TransformMapped(TMappedSource& src, TBlockFile& writer, std::span<const uint8_t> keyBytes,
                     bool encrypt, TProgressWriter& progress) {
    TWipedTransform state;
    TransformInit(state, keyBytes);
    const TBufferFn fn = encrypt ? EncryptBuffer : DecryptBuffer;
    // The writes go out on a thread of their own while this one transforms. A target that
    // could not be opened keeps the plain path, whose first block write tells it.
    std::optional<TAttachedWriter> async;
    if (writer.OutFile >= 0)
        async.emplace(writer, src.Data, src.Size);
    int64_t done = 0;
    bool faulted = false;
    {
        TBusGuardScope guard;
        while (done < src.Size && !faulted) {
            // The first chunk is byte 0 alone, then chunks end at each multiple of the block.
            const int64_t end = done == 0 ? 1 : std::min<int64_t>(src.Size, done + BlockSize);
            // Transformed straight into the writer's buffer: no copy of every byte in between.
            // A module ahead of the data shifts the blocks, so a chunk may span two buffers.
            while (done < end) {
                const std::span<uint8_t> room = WriteRoom(writer);
                const auto n =
                    std::min<std::size_t>(room.size(), static_cast<std::size_t>(end - done));
                if (!GuardedTransform(fn, state, src.Data + done, room.data(), n)) {
                    faulted = true;
                    break;
                }
                WriteCommit(writer, n);
                done += static_cast<int64_t>(n);
            }
            if (async)
                async->Reached(done);
            if (!faulted && (end - 1) % BlockSize == 0)
                progress.Position(end - 1);
            if (done - src.Released >= ReleaseEvery)
                src.Release(done);
        }
    }
    // Every whole block is written before anything else is told, as when each was written the
    // moment it filled: a failed write comes first, then a fault of the source.
    if (async)
        async->Finish();
    if (faulted) {
        progress.Position(0);
        throw Exception("The source file changed while it was being read (it became shorter); "
                        "the target is incomplete.");
    }
    if (src.ChangedSinceMapped()) {
        progress.Position(0);
        throw Exception("The source file changed while it was being read; the target may not "
                        "match it. The source was kept: run the operation again.");
    }
    progress.Position(0);
}

} // namespace

int ProgressShift(int64_t size) {
    int shift = 0;
    while ((size >> shift) > INT32_MAX)
        ++shift;
    return shift;
}

namespace {

// Copies the module's recorded number of leading bytes ahead of the encrypted ones. False,
// after telling the user, when no module has been chosen.
bool CopySfxModule(TBlockFile& writer, const TSfxOptions& sfx) {
    if (sfx.Module.empty()) {
        ShowMessageText(SfxNotFoundMessage);
        return false;
    }
    TBlockFile reader;
    TFileCloser closeReader(reader);
    if (OpenRead(reader, sfx.Module)) {
        // The module may have shrunk since its size was taken; never read past its end.
        if (reader.Size < sfx.ModuleSize)
            throw Exception("The SFX module " + sfx.Module +
                            " is shorter than when it was chosen; choose it again.");
        for (int32_t k = 0; k < sfx.ModuleSize; ++k)
            WriteByte(writer, ReadByte(reader));
    }
    CloseRead(reader);
    return true;
}

bool TransformFile(const std::string& source, const std::string& target,
                   std::span<const uint8_t> keyBytes, bool encrypt, const TSfxOptions* sfx,
                   TProgressReceiver* progressReceiver, const TOutputOptions& output,
                   TFileIdentity* sourceRead) {
    // A key that cannot work is refused before anything is created.
    (void)MakeCipherKey(keyBytes);
    TMappedSource src(source);
    if (sourceRead) {
        sourceRead->Device = src.Stat.st_dev;
        sourceRead->Inode = src.Stat.st_ino;
        sourceRead->Size = src.Size;
        sourceRead->ChangeTime = src.Stat.st_ctim;
        sourceRead->ModifyTime = src.Stat.st_mtim;
    }
    if (!output.MayReplace && !target.empty()) {
        struct stat existing {};
        if (::lstat(target.c_str(), &existing) == 0)
            throw EInOutError("'" + target + "' already exists", EEXIST);
    }
    TProgressWriter progress(progressReceiver, src.Size);
    progress.Min(0);
    progress.Max(src.Size);
    TBlockFile writer;
    TFileCloser closeWriter(writer);
    (void)OpenWrite(writer, target, TOpenWriteMode::Truncate, &src.Stat);
    if (sfx && sfx->Enabled && !CopySfxModule(writer, *sfx)) {
        progress.Position(0);
        return false; // the target stays behind, empty
    }
    TransformMapped(src, writer, keyBytes, encrypt, progress);
    CloseWrite(writer);
    return !writer.WriteFailed;
}

} // namespace

bool EncryptFileCore(const std::string& source, const std::string& target,
                     std::span<const uint8_t> keyBytes, const TSfxOptions& sfx,
                     TProgressReceiver* progressReceiver, const TOutputOptions& output,
                     TFileIdentity* sourceRead) {
    return TransformFile(source, target, keyBytes, true, &sfx, progressReceiver, output,
                         sourceRead);
}

bool DecryptFileCore(const std::string& source, const std::string& target,
                     std::span<const uint8_t> keyBytes, TProgressReceiver* progressReceiver,
                     const TOutputOptions& output) {
    // A self-extracting file given here is cipher bytes from its first byte on, module included.
    return TransformFile(source, target, keyBytes, false, nullptr, progressReceiver, output,
                         nullptr);
}
