// SPDX-License-Identifier: MIT
#include "cipher/MappedSource.h"

#include "cipher/UniqueFd.h"
#include "errors/Errors.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// ---- the fault guard --------------------------------------------------------------------------

// What the handler needs while one block is transformed: where to jump back to, and the only
// addresses whose faults it may take as its own.
struct TBusGuard {
    sigjmp_buf Env;
    const uint8_t* Begin;
    const uint8_t* End;
};

// Read by the handler, which interrupts the very thread that set it: a lock-free atomic with
// signal fences keeps the compiler from moving the store past the guarded work.
thread_local std::atomic<TBusGuard*> tBusGuard{nullptr};
static_assert(std::atomic<TBusGuard*>::is_always_lock_free);

// The handler that was in place before ours, to hand foreign faults on to.
struct sigaction gPreviousBus {};
std::mutex gInstallLock;

void HandOn(int sig, siginfo_t* info, void* context) {
    const struct sigaction& prev = gPreviousBus;
    if ((prev.sa_flags & SA_SIGINFO) != 0 && prev.sa_sigaction != nullptr) {
        prev.sa_sigaction(sig, info, context);
        return;
    }
    // Sent by another process, an ignored SIGBUS stays ignored.
    if (prev.sa_handler == SIG_IGN && (info == nullptr || info->si_code <= 0))
        return;
    // An ignored SIGBUS from a real fault would only fault again, for ever: the kernel kills
    // the process for it, and so does the default action.
    if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN) {
        prev.sa_handler(sig);
        return;
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    // Our handler runs with SA_NODEFER, so the signal is not blocked: raised again, it takes
    // its default action at once (a core dump with this thread's state, where allowed).
    ::raise(sig);
}

void BusHandler(int sig, siginfo_t* info, void* context) {
    TBusGuard* guard = tBusGuard.load(std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_acquire);
    if (guard != nullptr && info != nullptr && info->si_code > 0) {
        const auto* at = static_cast<const uint8_t*>(info->si_addr);
        if (at >= guard->Begin && at < guard->End)
            siglongjmp(guard->Env, 1);
    }
    HandOn(sig, info, context);
}

// Puts our handler in front of whatever handles SIGBUS now. Done for each source rather than
// once, so that a handler installed after ours (by a library, say) is chained to as well.
void InstallBusHandler() {
    std::lock_guard<std::mutex> lock(gInstallLock);
    struct sigaction current {};
    if (::sigaction(SIGBUS, nullptr, &current) != 0)
        return;
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == BusHandler)
        return;
    struct sigaction sa {};
    sa.sa_sigaction = BusHandler;
    // No signal mask needs restoring after the jump: saving it would cost a system call for
    // every block.
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    // The previous handler is recorded before ours can run, so that it is never half written
    // when a fault needs it.
    gPreviousBus = current;
    ::sigaction(SIGBUS, &sa, nullptr);
}

} // namespace

namespace {

// Runs work(context) with faults in [begin, end) turned into a false result. No object with a
// destructor lives in this frame or in work's, so leaving them through siglongjmp is sound.
bool RunGuarded(const uint8_t* begin, const uint8_t* end, void (*work)(void*), void* context) {
    TBusGuard guard;
    guard.Begin = begin;
    guard.End = end;
    if (sigsetjmp(guard.Env, 0) != 0) {
        tBusGuard.store(nullptr, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        // The handler runs with SA_NODEFER, but a runtime that wraps handlers (the thread
        // sanitizer's does) may leave SIGBUS blocked after the jump, and a second fault would
        // then end the process. This path runs once per fault, so the call costs nothing.
        sigset_t bus;
        sigemptyset(&bus);
        sigaddset(&bus, SIGBUS);
        pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
        return false;
    }
    tBusGuard.store(&guard, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    work(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tBusGuard.store(nullptr, std::memory_order_relaxed);
    return true;
}

} // namespace

// The transform state, which has a destructor, belongs to the caller.
bool GuardedTransform(const TMappedSource& src, TBufferFn fn, TTransformState& state,
                      int64_t offset, uint8_t* out, std::size_t n) {
    struct TWork {
        TBufferFn Fn;
        TTransformState* State;
        const uint8_t* In;
        uint8_t* Out;
        std::size_t N;
    } work{fn, &state, src.Data + offset, out, n};
    return RunGuarded(
        src.Data, src.Data + src.Size,
        [](void* c) {
            auto* w = static_cast<TWork*>(c);
            w->Fn(*w->State, w->In, w->Out, w->N);
        },
        &work);
}

bool GuardedTouch(const uint8_t* data, int64_t size, int64_t from, int64_t to) {
    struct TWork {
        const uint8_t* Data;
        int64_t From;
        int64_t To;
    } work{data, from, to};
    return RunGuarded(
        data, data + size,
        [](void* c) {
            const auto* w = static_cast<TWork*>(c);
            const int64_t page = ::sysconf(_SC_PAGESIZE);
            unsigned sum = 0;
            for (int64_t at = w->From; at < w->To; at += page)
                sum += *static_cast<const volatile uint8_t*>(w->Data + at);
            (void)sum;
        },
        &work);
}

// ---- the mapped source ------------------------------------------------------------------------

namespace {

// The window's words for a source it cannot use, and the cause beside them for the command
// lines: "Failed to create file mapping." alone does not tell an empty file from a full
// descriptor table.
[[noreturn]] void Refuse(const char* windowText, const std::string& path, const std::string& why) {
    throw Exception(Translated("Engine", windowText),
                    Format(Translated("Engine", "cannot read %1: %2"), {path, why}));
}

} // namespace

TMappedSource::TMappedSource(const std::string& path) : Path(path) {
    struct stat st {};
    // A folder is not a file to encrypt: the window reports it as no file at all.
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            throw Exception(Translated("Engine", "File does not exist."));
        Refuse(CALYXOR_TEXT("Engine", "File does not exist."), path, IOErrorText(errno));
    }
    if (S_ISDIR(st.st_mode))
        Refuse(CALYXOR_TEXT("Engine", "File does not exist."), path,
               Translated("Engine", "it is a folder; only files can be encrypted or decrypted"));
    if (!S_ISREG(st.st_mode))
        throw Exception(Format(Translated("Engine", "'%1' is not a regular file: only ordinary "
                                                    "files can be encrypted or decrypted."),
                               {path}));
    // Non-blocking, so that a FIFO swapped in since the check cannot hold the open up.
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    // An empty file cannot be mapped, nor can one that cannot be opened.
    constexpr const char* CantMap = CALYXOR_TEXT("Engine", "Failed to create file mapping.");
    if (!fd)
        Refuse(CantMap, path, IOErrorText(errno));
    struct stat fst {};
    if (::fstat(fd.Get(), &fst) != 0)
        Refuse(CantMap, path, IOErrorText(errno));
    if (!S_ISREG(fst.st_mode))
        Refuse(CantMap, path, Translated("Engine", "it is no longer a regular file"));
    if (fst.st_size <= 0)
        Refuse(CantMap, path,
               Translated("Engine", "the file is empty; there is nothing to encrypt or decrypt"));
    Stat = fst;
    Size = fst.st_size;
    void* view = ::mmap(nullptr, static_cast<size_t>(Size), PROT_READ, MAP_SHARED, fd.Get(), 0);
    // The mapping keeps the file open; the descriptor closes with fd.
    if (view == MAP_FAILED)
        Refuse(CALYXOR_TEXT("Engine", "Failed to map view of file."), path, IOErrorText(errno));
    Data = static_cast<const uint8_t*>(view);
    // The source is read once, in order: the kernel may read ahead and drop behind.
    ::madvise(view, static_cast<size_t>(Size), MADV_SEQUENTIAL);
    InstallBusHandler();
}

TMappedSource::~TMappedSource() {
    ::munmap(const_cast<uint8_t*>(Data), static_cast<size_t>(Size));
}

void TMappedSource::Release(int64_t offset) {
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    const int64_t end = offset / page * page;
    if (end > Released) {
        ::madvise(const_cast<uint8_t*>(Data) + Released, static_cast<size_t>(end - Released),
                  MADV_DONTNEED);
        Released = end;
    }
}

bool TMappedSource::ChangedSinceMapped() const {
    struct stat now {};
    return ::stat(Path.c_str(), &now) != 0 || now.st_dev != Stat.st_dev ||
           now.st_ino != Stat.st_ino || now.st_size != Stat.st_size ||
           now.st_mtim.tv_sec != Stat.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != Stat.st_mtim.tv_nsec ||
           now.st_ctim.tv_sec != Stat.st_ctim.tv_sec || now.st_ctim.tv_nsec != Stat.st_ctim.tv_nsec;
}
