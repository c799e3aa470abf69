// SPDX-License-Identifier: MIT
#include "cipher/BlockWriter.h"

#include "cipher/MappedSource.h"
#include "cipher/WriteOut.h"
#include "errors/Errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// How far ahead of the transform the source is read. Pages read ahead stay resident until the
// transform has passed them and lets them go, so this adds to the peak memory one for one.
constexpr int64_t ReadAheadSpan = 4 << 20;

// How much is written before the device is asked to start on it. The safe output ends with
// fsync, which would otherwise find the whole file still in memory and make the user wait for
// all of it at the end; asked as the file grows, the device writes while the transform runs
// and the fsync finds little left.
constexpr int64_t WritebackEvery = 8 << 20;

// The alignment of offset, length and memory that direct writes to fd need, or 0 when the file
// system does not tell it or takes no direct writes. Never less than a page: a direct write
// then never shares a page with the bytes the record writes through the page cache before and
// after the thread's batches.
int64_t DirectWriteAlignment(int fd) {
#ifdef STATX_DIOALIGN
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) != 0 ||
        (sx.stx_mask & STATX_DIOALIGN) == 0 || sx.stx_dio_offset_align == 0 ||
        sx.stx_dio_mem_align == 0)
        return 0;
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    const int64_t align = std::max<int64_t>(
        {page, sx.stx_dio_offset_align, static_cast<int64_t>(sx.stx_dio_mem_align)});
    // The ring's buffers start on whole pages and are whole pages long; an alignment they do
    // not meet leaves the writes buffered.
    return align % page == 0 && BatchSize % align == 0 ? align : 0;
#else
    (void)fd;
    return 0;
#endif
}

} // namespace

TBlockWriter::TBlockWriter(int fd, const uint8_t* source, int64_t sourceSize, bool mayWriteDirect)
    : File(fd), Source(source), SourceSize(sourceSize) {
    // Pages of their own, not the heap's: aligned, so that the kernel copies each write from
    // whole pages; touched only as far as the file fills them, so that a small file costs a
    // page or two instead of the whole ring; and handed back whole at the end (see below).
    void* memory =
        ::mmap(nullptr, RingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    for (int k = 0; k < Count; ++k)
        Buffers[k] = static_cast<uint8_t*>(memory) + static_cast<std::size_t>(k) * BatchSize;
    struct stat st {};
    Regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (Regular && mayWriteDirect) {
        Offset = ::lseek(fd, 0, SEEK_CUR);
        FileFlags = ::fcntl(fd, F_GETFL);
        if (Offset >= 0 && FileFlags != -1 && (FileFlags & O_APPEND) == 0)
            DirectAlign = DirectWriteAlignment(fd);
    }
}

TBlockWriter::~TBlockWriter() {
    if (Thread.joinable()) {
        {
            std::lock_guard<std::mutex> guard(Lock);
            Stopping = true;
        }
        WorkReady.notify_one();
        Thread.join();
    }
    (void)SetDirect(false);
    // What a decryption writes is the plain text. Unmapped, the pages go back to the kernel,
    // which clears them before any other use: none of it stays behind in the process, as it
    // would in freed heap memory, and no page the file never reached is written to wipe it.
    ::munmap(Buffers[0], RingBytes);
}

bool TBlockWriter::HaveThread() {
    if (Thread.joinable())
        return true;
    try {
        Thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had (a limit on a process's threads or memory): the caller writes
        // each batch itself. Slower by the overlap, but the file is the same.
        return false;
    }
    // Named, so that top -H and perf tell it from the transform.
    (void)::pthread_setname_np(Thread.native_handle(), "calyxor-writer");
    return true;
}

uint8_t* TBlockWriter::Submit(std::size_t n) {
    if (!HaveThread()) {
        WriteHere(n);
        return Buffers[Filling];
    }
    std::unique_lock<std::mutex> lk(Lock);
    if (!Failed) {
        Lengths[Filling] = n;
        ++Queued;
        WorkReady.notify_one();
    }
    Filling = (Filling + 1) % Count;
    // The buffers in flight are the Queued ones just before Filling: it is free once fewer
    // than all of them are.
    SpaceReady.wait(lk, [this] { return Queued < Count || Failed; });
    return Buffers[Filling];
}

void TBlockWriter::Drain() {
    std::unique_lock<std::mutex> lk(Lock);
    SpaceReady.wait(lk, [this] { return (Queued == 0 && !Working) || Failed; });
    // The thread has nothing left to do, so the descriptor is the record's again, for bytes
    // of any length at any offset.
    (void)SetDirect(false);
}

TWriterFailures TBlockWriter::TakeFailures() {
    std::lock_guard<std::mutex> guard(Lock);
    TWriterFailures taken = Failures;
    Failures.ShortWrites = 0;
    Failures.Error = nullptr;
    return taken;
}

// The batch in the caller's buffer, written on the caller's thread. No thread ever started
// (HaveThread), so no batch is in flight ahead of it. After an error nothing more is written,
// as on the thread.
void TBlockWriter::WriteHere(std::size_t n) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (Failed)
            return;
    }
    bool cut = false;
    std::exception_ptr error;
    std::size_t written = 0;
    WriteOne(Buffers[Filling], n, &cut, &error, &written);
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (cut)
            ++Failures.ShortWrites;
        if (error) {
            Failures.Error = error;
            Failed = true;
            return;
        }
    }
    StartWriteback(DirectOn ? 0 : written);
    // No reading ahead here: on this thread it would only move the page faults the transform
    // takes anyway, and add the calls that make them.
}

void TBlockWriter::WriteOne(const uint8_t* data, std::size_t n, bool* cut,
                            std::exception_ptr* error, std::size_t* written) {
    // WriteOut never talks to the user, so it is safe on either thread. As in the plain
    // writer, a batch cut short is told and the next one tried; a write that took nothing at
    // all stops the run with its error.
    if (const int err = WriteBatch(data, n, written); err != 0) {
        if (*written > 0) {
            *cut = true;
        } else {
            try {
                RaiseIOError(err);
            } catch (...) {
                *error = std::current_exception();
            }
        }
    }
}

void TBlockWriter::Run() {
    std::unique_lock<std::mutex> lk(Lock);
    for (;;) {
        WorkReady.wait(lk, [this] { return Stopping || Queued > 0; });
        if (Stopping)
            return;
        const int k = Next;
        const std::size_t n = Lengths[k];
        Working = true;
        lk.unlock();
        bool cut = false;
        std::exception_ptr error;
        std::size_t written = 0;
        WriteOne(Buffers[k], n, &cut, &error, &written);
        lk.lock();
        Next = (Next + 1) % Count;
        --Queued;
        if (cut)
            ++Failures.ShortWrites;
        if (error) {
            // Nothing after a failed write is written, as the plain writer stops there too.
            Failures.Error = error;
            Failed = true;
            Queued = 0;
            Working = false;
            SpaceReady.notify_one();
            return;
        }
        SpaceReady.notify_one();
        const bool direct = DirectOn;
        lk.unlock();
        // A direct write is on the device already.
        StartWriteback(direct ? 0 : written);
        ReadAhead();
        lk.lock();
        Working = false;
        // The caller may be waiting to write a batch itself.
        SpaceReady.notify_one();
    }
}

// The whole batches of a regular file this program opened go to the device directly
// (O_DIRECT), from the ring's pages instead of through a copy in the page cache. Copying, then
// writing back the copy, costs the kernel about a third of the transform's time: hidden on an idle
// core, but not when every core carries a transform (calyxor-cli -j). It also leaves the user's
// cache as it was, instead of filling it with a file that is not read again. The closing fsync
// still decides that the file is on the device. Batches that are not aligned as the file system
// asks (after a module that leaves them off its alignment, or the last, shorter one) and file
// systems without direct writes go through the page cache as before.
int TBlockWriter::WriteBatch(const uint8_t* data, std::size_t n, std::size_t* written) {
    const auto length = static_cast<int64_t>(n);
    const auto address = static_cast<int64_t>(reinterpret_cast<std::uintptr_t>(data));
    const bool direct = DirectAlign > 0 && Offset % DirectAlign == 0 && length % DirectAlign == 0 &&
                        address % DirectAlign == 0;
    if (direct != DirectOn && !SetDirect(direct))
        DirectAlign = 0;
    int err = WriteOut(File, data, n, written);
    // Should a file system tell its alignment and still refuse a direct write, the batch and
    // every one after it are written through the page cache.
    if (err == EINVAL && DirectOn && *written == 0) {
        DirectAlign = 0;
        if (SetDirect(false))
            err = WriteOut(File, data, n, written);
    }
    Offset += static_cast<int64_t>(*written);
    return err;
}

bool TBlockWriter::SetDirect(bool on) {
    if (on == DirectOn)
        return true;
    if (::fcntl(File, F_SETFL, on ? FileFlags | O_DIRECT : FileFlags & ~O_DIRECT) != 0)
        return false;
    DirectOn = on;
    return true;
}

void TBlockWriter::StartWriteback(std::size_t written) {
    if (!Regular)
        return;
    Unflushed += static_cast<int64_t>(written);
    if (Unflushed < WritebackEvery)
        return;
    Unflushed = 0;
    // Only starts the device on the dirty pages, from the file's start to its end (pages
    // already on their way are skipped); it waits for nothing and promises nothing, so a
    // failure here changes nothing: the fsync at the end still decides.
    (void)::sync_file_range(File, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void TBlockWriter::ReadAhead() {
    if (!Source)
        return;
    const int64_t at = Position.load(std::memory_order_relaxed);
    // A few megabytes at a time, when half the span has been used: one call maps many pages.
    if (ReadUpTo >= SourceSize || ReadUpTo - at >= ReadAheadSpan / 2)
        return;
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    const int64_t from = std::max(ReadUpTo, at) / page * page;
    const int64_t to = std::min(SourceSize, at + ReadAheadSpan);
    if (to <= from)
        return;
    auto* start = const_cast<uint8_t*>(Source) + from;
    const auto length = static_cast<std::size_t>(to - from);
    // Populating maps the pages as well as reading them, so the transform takes no fault at
    // all there. A kernel older than 5.14 does not know it; asking it to read ahead still
    // moves the waiting for the device off the transform. A source cut short makes populating
    // fail instead of raising SIGBUS here; the transform finds that out for itself.
    if (Populate && ::madvise(start, length, MADV_POPULATE_READ) != 0) {
        if (errno != EINVAL) {
            Source = nullptr;
            return;
        }
        Populate = false;
    }
    if (!Populate)
        (void)::madvise(start, length, MADV_WILLNEED);
    // Mapped is not yet read: on a virtual machine the first read of each page still cost the
    // transform about a third of its time over a 512 MiB file. It is paid here instead. A page
    // cut off since populating faults under the guard and ends the reading ahead, not the run.
    if (!GuardedTouch(Source, SourceSize, from, to)) {
        Source = nullptr;
        return;
    }
    ReadUpTo = to;
}
