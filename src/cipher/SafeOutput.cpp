// SPDX-License-Identifier: MIT
#include "cipher/SafeOutput.h"

#include "cipher/DescriptorNames.h"
#include "cipher/HiddenNames.h"
#include "cipher/StandardDescriptors.h"
#include "errors/Errors.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace {

std::string DirName(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RandomSuffix() {
    uint64_t r = 0;
    if (::getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
        static std::atomic<uint64_t> counter{0};
        r = (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(::time(nullptr)) ^
            (++counter * 0x9E3779B97F4A7C15ull);
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(r));
    return std::string(buf, 12);
}

// The umask, read without changing it: umask(2) can only be read by setting it, which races
// with any other thread that creates a file meanwhile.
// Read with plain calls: file streams would bring their locales into the statically linked
// self-extracting module, several times the size of the rest of it.
mode_t CurrentUmask() {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::string status;
        char buf[1024];
        ssize_t n = 0;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                status.append(buf, static_cast<std::size_t>(n));
        ::close(fd);
        const auto at = status.find("\nUmask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8)) & 0777;
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool SameFile(const struct stat& a, const struct stat* b) {
    return b && a.st_dev == b->st_dev && a.st_ino == b->st_ino;
}

} // namespace

bool TSafeOutput::Fail(int err, std::string problem) {
    Abandon();
    Error_ = err;
    Problem_ = std::move(problem);
    return false;
}

bool TSafeOutput::Open(const std::string& target, const TOutputRules& rules) {
    Abandon();
    Target = target;
    Rules = rules;
    Error_ = 0;
    FlushError_ = 0;
    Problem_.clear();
    KeepOwner = false;
    if (target.empty()) {
        if (StandardDescriptorWasClosed(STDOUT_FILENO))
            return Fail(EBADF, Translated("Engine", "standard output was closed when the program "
                                                    "started; give the target as a file name"));
        return OpenDescriptor(STDOUT_FILENO);
    }
    if (const int fd = DescriptorNamedBy(target); fd >= 0) {
        if (StandardDescriptorWasClosed(fd))
            return Fail(
                EBADF, Translated("Engine", "that descriptor was closed when the program started"));
        return OpenDescriptor(fd);
    }
    if (target.back() == '/')
        return Fail(EISDIR);
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) != 0)
        return errno == ENOENT ? OpenTemporary(nullptr) : Fail(errno);
    if (S_ISDIR(lst.st_mode))
        return Fail(EISDIR);
    if (S_ISFIFO(lst.st_mode) || S_ISCHR(lst.st_mode) || S_ISBLK(lst.st_mode))
        return OpenStream(lst);
    if (!S_ISREG(lst.st_mode) && !S_ISLNK(lst.st_mode))
        return Fail(ENXIO);
    // A regular file, or a symbolic link: the link itself is replaced, never written through.
    if (!Rules.MayReplace)
        return Fail(EEXIST);
    struct stat st {};
    if (Rules.NotSameAs && ::stat(target.c_str(), &st) == 0 && SameFile(st, Rules.NotSameAs))
        return Fail(EINVAL);
    // Somebody else's file is not replaced just because its folder may be written to: it
    // takes the right to write the file itself, as writing into it did.
    if (S_ISREG(lst.st_mode) && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errno);
    return OpenTemporary(&lst);
}

bool TSafeOutput::OpenDescriptor(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return Fail(errno, Translated("Engine", "that descriptor is not open"));
    if ((flags & O_ACCMODE) == O_RDONLY)
        return Fail(EBADF, Translated("Engine", "that descriptor is open for reading only"));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && SameFile(st, Rules.NotSameAs))
        return Fail(EINVAL, Translated("Engine", "it is the source file itself"));
    Fd_ = fd;
    Kind_ = TOutputKind::Descriptor;
    return true;
}

bool TSafeOutput::OpenStream(const struct stat& st) {
    // Write-only, so that this program is never the reader that keeps a pipe alive; and
    // non-blocking while opening, so that a FIFO nobody reads fails instead of hanging. A
    // reader that is being started gets a moment to come.
    int fd = -1;
    for (int waited = 0;; ++waited) {
        fd = ::open(Target.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0 || errno != ENXIO || !S_ISFIFO(st.st_mode) || waited >= 20)
            break;
        ::usleep(50 * 1000);
    }
    if (fd < 0)
        return Fail(errno, errno == ENXIO && S_ISFIFO(st.st_mode)
                               ? Translated("Engine", "no program is reading from it")
                               : std::string());
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    Fd_ = fd;
    Kind_ = TOutputKind::Stream;
    return true;
}

bool TSafeOutput::OpenTemporary(const struct stat* existing) {
    Folder = DirName(Target);
    const bool replacesFile = existing && S_ISREG(existing->st_mode);
    Mode = replacesFile ? existing->st_mode & 07777 : 0666 & ~CurrentUmask();
    if (Rules.Executable)
        Mode |= (Mode & 0444) >> 2;
    if (replacesFile) {
        KeepOwner = true;
        Owner = existing->st_uid;
        Group = existing->st_gid;
    }
    // Readable by nobody else until it is complete and given its own permissions.
    int fd = ::open(Folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    Unnamed = fd >= 0;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // The file system cannot make an unnamed file: a hidden name, removed on failure.
        std::string name = Folder + "/.calyxor-XXXXXX";
        TSignalsHeld held;
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            Hidden = name;
            RegisterHidden(Hidden);
        }
    }
    if (fd < 0) {
        const int err = errno;
        // Writing into the file itself would destroy it the moment the run failed or was
        // stopped: it is kept as it is instead, and the user is told why.
        if ((err == EACCES || err == EPERM || err == EROFS) && replacesFile)
            return Fail(err, Format(Translated("Engine", "the folder %1 cannot be written to, so "
                                                         "the file cannot be replaced safely; it "
                                                         "was left as it is"),
                                    {Folder}));
        return Fail(err);
    }
    Fd_ = fd;
    Kind_ = TOutputKind::Replace;
    return true;
}

void TSafeOutput::Commit() {
    switch (Kind_) {
    case TOutputKind::Closed:
        RaiseIOError(EBADF);
    case TOutputKind::Descriptor:
    case TOutputKind::Stream:
        CommitStream();
        return;
    case TOutputKind::Replace:
        PutInPlace();
        return;
    }
}

void TSafeOutput::CommitStream() {
    const int fd = Fd_;
    const bool ours = Kind_ == TOutputKind::Stream;
    Fd_ = -1;
    Kind_ = TOutputKind::Closed;
    // Through the descriptor that was written: a FIFO opened again by name would wait for a
    // writer for ever, and a name may lead elsewhere by now. A pipe, a FIFO or a terminal
    // says EINVAL: its bytes are not on any disk.
    if (Rules.Durable && ::fsync(fd) != 0)
        FlushError_ = errno;
    // A descriptor the process already had is not ours to close: standard output stays open
    // for whatever the caller writes next.
    if (ours && ::close(fd) != 0 && errno != EINTR)
        RaiseIOError(errno);
}

void TSafeOutput::PutInPlace() {
    auto fail = [this](int err) {
        Abandon();
        if (err == EEXIST)
            throw EInOutError(
                Format(Translated("Engine", "'%1' already exists and was left as it is"), {Target}),
                EEXIST);
        RaiseIOError(err);
    };
    if (KeepOwner && ::fchown(Fd_, Owner, Group) != 0) {
        // A plain user cannot give a file away: the new file is then the user's own.
    }
    // After the owner: changing the owner clears the set-user-ID bits.
    (void)::fchmod(Fd_, Mode);
    if (::fsync(Fd_) != 0)
        fail(errno);
    if (Unnamed) {
        // An unnamed file cannot replace a name by itself (linkat refuses an existing name), so
        // it gets a hidden name of its own first, and the rename below does the replacing.
        const std::string proc = "/proc/self/fd/" + std::to_string(Fd_);
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            const std::string name = Folder + "/.calyxor-" + RandomSuffix();
            TSignalsHeld held;
            int r = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
            if (r != 0 && errno == ENOENT) // no /proc here
                r = ::linkat(Fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
            err = r == 0 ? 0 : errno;
            if (r == 0) {
                Hidden = name;
                RegisterHidden(Hidden);
                Unnamed = false;
            }
        }
        if (err != 0)
            fail(err);
    }
    const int fd = Fd_;
    Fd_ = -1;
    if (::close(fd) != 0)
        fail(errno);
    if (Rules.MayReplace) {
        if (::rename(Hidden.c_str(), Target.c_str()) != 0)
            fail(errno);
    } else if (::renameat2(AT_FDCWD, Hidden.c_str(), AT_FDCWD, Target.c_str(), RENAME_NOREPLACE) !=
               0) {
        if (errno != EINVAL && errno != ENOSYS)
            fail(errno);
        // The file system cannot rename that way; a hard link refuses an existing name too.
        if (::link(Hidden.c_str(), Target.c_str()) == 0)
            ::unlink(Hidden.c_str());
        else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK)
            ClaimAndRename(); // nor can it link (FAT, some FUSE and network file systems)
        else
            fail(errno);
    }
    UnregisterHidden(Hidden);
    Hidden.clear();
    Kind_ = TOutputKind::Closed;
    // The new name must be on the device too before anyone relies on it (the encrypt command
    // wipes the source next). A folder that cannot be opened for reading is left to the system.
    const int dir = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Out of descriptors or memory is no choice of the folder's: the name may not be on the
    // device, and the caller must not wipe the source after it.
    if (dir < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOMEM))
        RaiseIOError(errno);
    if (dir >= 0) {
        const int err = ::fsync(dir) != 0 && errno != EINVAL ? errno : 0;
        ::close(dir);
        if (err != 0)
            RaiseIOError(err);
    }
}

// On a file system that can neither link nor rename without replacing, the name is claimed
// by creating it exclusively, so that a file someone else made under it meanwhile is refused
// and kept, and the whole file is then renamed over the empty claim. The claim is registered
// like a hidden name: a failure or a signal removes it, and the name is as it was.
void TSafeOutput::ClaimAndRename() {
    int claim = -1;
    {
        TSignalsHeld held;
        claim = ::open(Target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (claim >= 0)
            RegisterHidden(Target);
    }
    if (claim < 0) {
        const int err = errno;
        Abandon();
        if (err == EEXIST)
            throw EInOutError(
                Format(Translated("Engine", "'%1' already exists and was left as it is"), {Target}),
                EEXIST);
        RaiseIOError(err);
    }
    struct stat mine {};
    const bool statted = ::fstat(claim, &mine) == 0;
    ::close(claim);
    // Only the empty file made here is ever replaced: one put in its place by someone else in
    // the moment since is theirs.
    struct stat now {};
    int err = 0;
    if (!statted || ::lstat(Target.c_str(), &now) != 0 || now.st_dev != mine.st_dev ||
        now.st_ino != mine.st_ino || now.st_size != 0)
        err = EEXIST;
    else if (::rename(Hidden.c_str(), Target.c_str()) != 0)
        err = errno;
    if (err != 0 && err != EEXIST)
        ::unlink(Target.c_str());
    UnregisterHidden(Target);
    if (err != 0) {
        Abandon();
        if (err == EEXIST)
            throw EInOutError(
                Format(Translated("Engine", "'%1' already exists and was left as it is"), {Target}),
                EEXIST);
        RaiseIOError(err);
    }
}

void TSafeOutput::Abandon() noexcept {
    if (Fd_ >= 0 && Kind_ != TOutputKind::Descriptor)
        ::close(Fd_);
    Fd_ = -1;
    if (!Hidden.empty()) {
        ::unlink(Hidden.c_str());
        UnregisterHidden(Hidden);
        Hidden.clear();
    }
    Unnamed = false;
    Kind_ = TOutputKind::Closed;
}
