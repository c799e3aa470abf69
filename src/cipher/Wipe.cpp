// SPDX-License-Identifier: MIT
#include "cipher/Wipe.h"

#include "cipher/BlockFile.h"
#include "cipher/FileTransform.h"
#include "cipher/UniqueFd.h"
#include "errors/Errors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

enum class TOpenResult { Opened, Changed, Failed };

struct TOpened {
    TOpenResult Result = TOpenResult::Failed;
    TUniqueFd Fd;
    struct stat Stat {};
    int Error = 0;
};

// Opens name for overwriting, only if check accepts the file found there, and so that nothing
// but that file can be touched: never through a symbolic link (one swapped in makes the open
// fail), never waiting (a FIFO swapped in would block the open), and every later step goes
// through a descriptor checked against the first. A read-only file is made writable first, as
// the read-only bit guards against accidents and asking to wipe is no accident; the change is
// made through the descriptor, so it reaches the checked file and no other.
TOpened OpenForOverwrite(const std::string& name,
                         const std::function<bool(const struct stat&)>& check) {
    constexpr int common = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    TOpened out;
    auto accept = [&](TUniqueFd& fd) {
        if (::fstat(fd.Get(), &out.Stat) != 0) {
            out.Error = errno;
            return false;
        }
        if (!check(out.Stat)) {
            out.Result = TOpenResult::Changed;
            return false;
        }
        return true;
    };

    TUniqueFd fd(::open(name.c_str(), O_RDWR | common));
    if (!fd) {
        out.Error = errno;
        if (out.Error != EACCES && out.Error != EPERM)
            return out;
        TUniqueFd readOnly(::open(name.c_str(), O_RDONLY | common));
        if (!readOnly) {
            out.Error = errno;
            return out;
        }
        if (!accept(readOnly))
            return out;
        const struct stat first = out.Stat;
        (void)::fchmod(readOnly.Get(), (first.st_mode & 07777) | S_IWUSR);
        fd.Reset(::open(name.c_str(), O_RDWR | common));
        if (!fd) {
            out.Error = errno;
            return out;
        }
        // The name was looked up twice: the second open must have found the same file.
        if (::fstat(fd.Get(), &out.Stat) != 0 || !SameFile(out.Stat, first)) {
            out.Result = TOpenResult::Changed;
            return out;
        }
    } else if (!accept(fd)) {
        return out;
    }
    // A regular file ignores the flag, but nothing later should find it set.
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
    out.Result = TOpenResult::Opened;
    out.Fd = std::move(fd);
    return out;
}

// Why a path that is no regular file is not wiped.
std::string NotWipedCause(const struct stat& st) {
    if (S_ISLNK(st.st_mode))
        return Translated("Engine", "it is a symbolic link, and a link is never followed to be "
                                    "wiped; give the path of the file itself");
    return Translated("Engine", "it is not a regular file (a FIFO, a device or a socket) and has "
                                "nothing of its own to overwrite");
}

std::string OpenCause(const TOpened& file) {
    if (file.Result == TOpenResult::Changed)
        return Translated("Engine", "it was replaced by another file while it was being opened");
    return file.Error == ELOOP ? Translated("Engine", "it became a symbolic link")
                               : IOErrorText(file.Error);
}

void WriteFully(int fd, const uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            RaiseIOError(errno);
        if (put == 0)
            RaiseIOError(EIO);
        data += put;
        n -= static_cast<std::size_t>(put);
    }
}

// Overwrites the file's n bytes from its start, in place: emptying it first would let the file
// system free the old blocks with the data still in them. The gauge is written once per block,
// right after the block's first byte is counted. Then the bytes are put on the device, and the
// descriptor closed. Raises EInOutError, leaving the file in place.
void Overwrite(TUniqueFd& fd, int64_t n, TProgressReceiver* progress) {
    const int shift = ProgressShift(n);
    if (progress)
        progress->SetMaxValue(static_cast<int32_t>(n >> shift));
    std::array<uint8_t, BlockSize> fill;
    fill.fill(WipeFillByte);
    for (int64_t k = 0; k < n;) {
        if (progress)
            progress->SetProgress(static_cast<int32_t>((k + 1) >> shift));
        const auto chunk = static_cast<std::size_t>(std::min<int64_t>(n - k, BlockSize));
        WriteFully(fd.Get(), fill.data(), chunk);
        k += static_cast<int64_t>(chunk);
    }
    if (::fsync(fd.Get()) != 0)
        RaiseIOError(errno);
    if (!fd.Close())
        RaiseIOError(errno);
}

// Deletes name only while it still leads to the overwritten file. When the deletion fails the
// data is gone but the name is not, and the user must know: a notice, and NameKept.
TWipeResult RemoveName(const std::string& name, const struct stat& wiped,
                       TProgressReceiver* progress, TNoticeReceiver* notices) {
    struct stat now {};
    int error = 0;
    if (::lstat(name.c_str(), &now) != 0) {
        error = errno;
    } else if (!SameFile(now, wiped)) {
        if (progress)
            progress->SetProgress(0);
        Tell(notices,
             Format(Translated("Engine", "The file was overwritten, but its name now leads "
                                         "to another file, which was kept: %1"),
                    {name}),
             name);
        return {TWipeEnd::NameKept};
    } else if (::unlink(name.c_str()) != 0) {
        error = errno;
    }
    if (progress)
        progress->SetProgress(0);
    if (error != 0) {
        Tell(notices,
             Format(Translated("Engine", "The file was overwritten, but it could not be "
                                         "deleted (%1): %2"),
                    {IOErrorText(error), name}),
             name);
        return {TWipeEnd::NameKept};
    }
    return {TWipeEnd::Wiped};
}

} // namespace

TWipeResult WipeFileCore(const std::string& path, const std::string& sourceFile,
                         TProgressReceiver* progress, TNoticeReceiver* notices) {
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) != 0 || S_ISDIR(lst.st_mode))
        return {TWipeEnd::Missing};
    // A symbolic link is refused: following it would destroy another file and leave the link.
    // A device, a FIFO or a socket has no blocks of its own to overwrite.
    if (!S_ISREG(lst.st_mode)) {
        Tell(notices, CantOpenText(sourceFile), sourceFile, NotWipedCause(lst));
        return {TWipeEnd::Refused};
    }
    TOpened file = OpenForOverwrite(sourceFile, [&](const struct stat& st) {
        return S_ISREG(st.st_mode) && SameFile(st, lst);
    });
    if (file.Result != TOpenResult::Opened) {
        Tell(notices, CantOpenText(sourceFile), sourceFile, OpenCause(file));
        return {TWipeEnd::Refused};
    }
    Overwrite(file.Fd, static_cast<int64_t>(file.Stat.st_size), progress);
    return RemoveName(sourceFile, file.Stat, progress, notices);
}

TWipeResult WipeVerifiedFile(const std::string& path, const TFileIdentity& expected,
                             TProgressReceiver* progress, TNoticeReceiver* notices) {
    // The file as the encryption read it: a change of its contents, its size or its metadata
    // since then (reading it changed none of them) means another file, or other bytes, that
    // have no encrypted copy.
    const auto asRead = [&](const struct stat& st) {
        return S_ISREG(st.st_mode) && st.st_dev == expected.Device && st.st_ino == expected.Inode &&
               st.st_size == expected.Size && SameTime(st.st_ctim, expected.ChangeTime) &&
               SameTime(st.st_mtim, expected.ModifyTime);
    };
    TOpened file = OpenForOverwrite(path, asRead);
    const bool gone = file.Error == ENOENT || file.Error == ELOOP || file.Error == ENXIO;
    // A source given through a symbolic link was read through it and has not changed: the link
    // is refused as the wipe command refuses it, and the user is not told that the file changed.
    struct stat link {
    }, target{};
    if (file.Result == TOpenResult::Failed && file.Error == ELOOP &&
        ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
        ::stat(path.c_str(), &target) == 0 && asRead(target)) {
        Tell(notices, CantOpenText(path), path, NotWipedCause(link));
        return {TWipeEnd::Refused};
    }
    if (file.Result == TOpenResult::Changed || (file.Result == TOpenResult::Failed && gone)) {
        Tell(notices,
             Format(Translated("Engine",
                               "The source file changed after it was encrypted; it was kept: %1"),
                    {path}),
             path);
        return {TWipeEnd::Refused};
    }
    if (file.Result != TOpenResult::Opened) {
        Tell(notices, CantOpenText(path), path, OpenCause(file));
        return {TWipeEnd::Refused};
    }
    Overwrite(file.Fd, static_cast<int64_t>(file.Stat.st_size), progress);
    return RemoveName(path, file.Stat, progress, notices);
}
