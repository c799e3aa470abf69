// SPDX-License-Identifier: MIT
#include "config/TextFile.h"

#include "errors/Errors.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TTextReader::TTextReader(std::string_view bytes) : Bytes(bytes) {
    const std::size_t eofMark = bytes.find('\x1A');
    End = eofMark == std::string_view::npos ? bytes.size() : eofMark;
}

std::string TTextReader::ReadLine(std::size_t limit) {
    std::size_t cr = Bytes.find('\r', Pos);
    if (cr == std::string_view::npos || cr > End)
        cr = End;
    std::string line(Bytes.substr(Pos, cr - Pos));
    if (line.size() > limit)
        line.resize(limit);
    Pos = cr;
    if (Pos < End) {
        ++Pos; // the CR
        if (Pos < End && Bytes[Pos] == '\n')
            ++Pos;
    }
    return line;
}

namespace {

// Closes the descriptor however the read ends.
struct TFd {
    int Fd;
    ~TFd() { ::close(Fd); }
};

[[noreturn]] void RaiseNotAFile(const std::string& path, mode_t mode) {
    if (S_ISDIR(mode))
        throw EInOutError("'" + path + "' is a folder, not a file", EISDIR);
    throw EInOutError("'" + path +
                          "' is not a file that can be read (it is a pipe, a device or a socket)",
                      EINVAL);
}

[[noreturn]] void RaiseTooLarge(const std::string& path) {
    throw EInOutError("'" + path + "' is too large for a settings or skin file (more than " +
                          std::to_string(TextFileSizeLimit >> 20) + " MiB)",
                      EFBIG);
}

void WriteAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseIOError(errno);
        }
        if (n == 0)
            RaiseIOError(ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void WriteInPlace(const std::string& path, std::string_view bytes) {
    const TFd file{::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY)};
    if (file.Fd < 0)
        RaiseIOError(errno);
    WriteAllTo(file.Fd, bytes);
    if (::fsync(file.Fd) != 0 && errno != EINVAL)
        RaiseIOError(errno);
}

// The permission bits a file created with mode 0666 would get.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string ReadTextFileBytes(const std::string& path) {
    // Opening a FIFO for reading waits for a writer unless it is opened without blocking, and a
    // terminal could become the process's controlling one: neither is opened for real.
    const TFd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.Fd < 0)
        RaiseIOError(errno);
    struct stat st {};
    if (::fstat(file.Fd, &st) != 0)
        RaiseIOError(errno);
    if (!S_ISREG(st.st_mode))
        RaiseNotAFile(path, st.st_mode);
    if (static_cast<std::uintmax_t>(st.st_size) > TextFileSizeLimit)
        RaiseTooLarge(path);
    std::string bytes;
    char buf[65536];
    // Some files (under /proc, say) report no size and keep growing: the bound holds while
    // reading too.
    for (;;) {
        const ssize_t n = ::read(file.Fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseIOError(errno);
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > TextFileSizeLimit)
            RaiseTooLarge(path);
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    return bytes;
}

void ReplaceTextFile(const std::string& path, std::string_view bytes) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (exists && S_ISREG(st.st_mode) && err != ENOENT && err != ENOTDIR) {
            WriteInPlace(target, bytes);
            return;
        }
        RaiseIOError(err);
    }
    try {
        const TFd file{fd};
        WriteAllTo(fd, bytes);
        if (exists) {
            // As the replaced file was: its owner (where the process may give it) and its bits.
            // A plain user cannot give a file away: the new one is then the user's own.
            if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
                ::fchown(fd, st.st_uid, st.st_gid) != 0) {
            }
            (void)::fchmod(fd, st.st_mode & 07777);
        } else {
            (void)::fchmod(fd, NewFileMode());
        }
        if (::fsync(fd) != 0)
            RaiseIOError(errno);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        RaiseIOError(err);
    }
    // The new name is on the disk only once the folder is.
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

std::string UpperStr(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return out;
}
