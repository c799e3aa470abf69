// SPDX-License-Identifier: MIT
#include "cipher/FileTransform.h"

#include "cipher/BlockFile.h"
#include "cipher/BlockWriter.h"
#include "cipher/MappedSource.h"
#include "errors/Errors.h"

#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Closes whatever the record still holds open when an operation ends by an error; a target
// that was not written whole is dropped, and the file under its name stays as it was.
class TFileCloser {
public:
    explicit TFileCloser(TBlockFile& rec) : Rec(rec) {}
    ~TFileCloser() {
        // The last block of transformed bytes is not left behind on the stack.
        SecureWipe(Rec.OutBuf.data(), Rec.OutBuf.size());
        AbandonWrite(Rec);
    }
    TFileCloser(const TFileCloser&) = delete;
    TFileCloser& operator=(const TFileCloser&) = delete;

private:
    TBlockFile& Rec;
};

// How often the consumed part of the mapping is given back.
constexpr int64_t ReleaseEvery = 8 << 20;

// Run every source byte through the transform, writing the results, with a progress write
// after byte 0, 10240, 20480, ...
void TransformMapped(TMappedSource& src, TBlockFile& writer, std::span<const uint8_t> keyBytes,
                     bool encrypt, TProgressWriter& progress) {
    // The generator state is overwritten however the run ends.
    TTransformState state;
    TransformInit(state, keyBytes);
    const TBufferFn fn = encrypt ? EncryptBuffer : DecryptBuffer;
    // The writes go out on a thread of their own while this one transforms. A target that
    // could not be opened keeps the plain path, whose first block write tells it. So does a
    // source that fits in one batch: the thread would get its one write at the end, when there
    // is nothing left to overlap, and starting it costs more than a small file's write.
    std::optional<TAttachedWriter> async;
    if (writer.OutFile >= 0 && src.Size > BatchSize)
        async.emplace(writer, src.Data, src.Size);
    int64_t done = 0;
    bool faulted = false;
    while (done < src.Size && !faulted) {
        // The first chunk is byte 0 alone, then chunks end at each multiple of the block.
        const int64_t end = done == 0 ? 1 : std::min<int64_t>(src.Size, done + BlockSize);
        // Transformed straight into the writer's buffer: no copy of every byte in between.
        // A module ahead of the data shifts the blocks, so a chunk may span two buffers.
        while (done < end) {
            const std::span<uint8_t> room = WriteRoom(writer);
            const auto n = std::min<std::size_t>(room.size(), static_cast<std::size_t>(end - done));
            if (!GuardedTransform(src, fn, state, done, room.data(), n)) {
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
    // Every whole block is written before anything else is told, as when each was written the
    // moment it filled: a failed write comes first, then a fault of the source.
    if (async)
        async->Finish();
    if (faulted) {
        progress.Position(0);
        throw Exception(Translated("Engine", "The source file changed while it was being read "
                                             "(it became shorter); the target is incomplete."));
    }
    if (src.ChangedSinceMapped()) {
        progress.Position(0);
        throw Exception(Translated("Engine",
                                   "The source file changed while it was being read; the target "
                                   "may not match it. The source was kept: run the operation "
                                   "again."));
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

// Copies the module's first bytes ahead of the encrypted ones. False when the prefix names no
// module.
bool CopySfxModule(TBlockFile& writer, const TModulePrefix& module) {
    if (module.Path.empty())
        return false;
    // A folder, a FIFO or a device is no module: reading one could block for ever or never
    // end. The reader refuses them too, should one be swapped in after this look.
    struct stat st {};
    if (::stat(module.Path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw Exception(Format(Translated("Engine", "The SFX module %1 is not a regular file (a "
                                                    "folder, a FIFO or a device); choose a "
                                                    "module file."),
                               {module.Path}));
    TBlockFile reader;
    reader.Notices = writer.Notices;
    if (OpenRead(reader, module.Path)) {
        // The module may have shrunk since its size was taken; never read past its end.
        if (reader.Size < module.Size)
            throw Exception(Format(Translated("Engine", "The SFX module %1 is shorter than when "
                                                        "it was chosen; choose it again."),
                                   {module.Path}));
        for (int32_t k = 0; k < module.Size; ++k)
            WriteByte(writer, ReadByte(reader));
    }
    CloseRead(reader);
    return true;
}

TTransformResult TransformFile(const std::string& source, const std::string& target,
                               std::span<const uint8_t> keyBytes, bool encrypt,
                               const TModulePrefix* module, TProgressReceiver* progressReceiver,
                               TNoticeReceiver* notices, const TOutputOptions& output,
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
    TProgressWriter progress(progressReceiver, src.Size);
    progress.Min(0);
    progress.Max(src.Size);
    TBlockFile writer;
    writer.Notices = notices;
    TFileCloser closeWriter(writer);
    TOutputRules rules;
    rules.MayReplace = output.MayReplace;
    rules.Executable = module != nullptr;
    rules.NotSameAs = &src.Stat;
    rules.Durable = output.Durable;
    (void)OpenWrite(writer, target, TOpenWriteMode::Truncate, rules);
    if (module && !CopySfxModule(writer, *module)) {
        progress.Position(0);
        // Nothing takes the target's place: an empty file there would pass for a result, and
        // would have destroyed a good file of that name.
        AbandonWrite(writer);
        return {TTransformEnd::NoModule};
    }
    TransformMapped(src, writer, keyBytes, encrypt, progress);
    CloseWrite(writer);
    if (writer.WriteFailed)
        return {TTransformEnd::CutShort};
    return {TTransformEnd::Written, writer.Output.FlushError()};
}

} // namespace

TTransformResult EncryptFileCore(const std::string& source, const std::string& target,
                                 std::span<const uint8_t> keyBytes, const TModulePrefix* module,
                                 TProgressReceiver* progressReceiver, TNoticeReceiver* notices,
                                 const TOutputOptions& output, TFileIdentity* sourceRead) {
    return TransformFile(source, target, keyBytes, true, module, progressReceiver, notices, output,
                         sourceRead);
}

TTransformResult DecryptFileCore(const std::string& source, const std::string& target,
                                 std::span<const uint8_t> keyBytes,
                                 TProgressReceiver* progressReceiver, TNoticeReceiver* notices,
                                 const TOutputOptions& output) {
    // A self-extracting file given here is cipher bytes from its first byte on, module included.
    return TransformFile(source, target, keyBytes, false, nullptr, progressReceiver, notices,
                         output, nullptr);
}
