#include "TextFile.h"

#include "Errors.h"

#include <cerrno>
#include <fcntl.h>
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

std::string ReadTextFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        RaiseIOError(errno);
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            RaiseIOError(err);
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

std::string UpperStr(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return out;
}
