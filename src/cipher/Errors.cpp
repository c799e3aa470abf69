#include "Errors.h"

#include <cerrno>
#include <cstring>

std::string IOErrorText(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return "File not found";
    case ENOTDIR:
        return "Path not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return "File access denied";
    case ENOSPC:
    case EDQUOT:
        return "Disk full";
    case EFBIG:
        // The file-size limit (ulimit -f), not the disk: telling "Disk full" sends the user
        // looking for space that is there.
        return "File too large";
    case EBADF:
        return "File not open";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EIO:
        return "Input/output error";
    default:
        return std::strerror(errnoValue);
    }
}

void RaiseIOError(int errnoValue) {
    throw EInOutError(IOErrorText(errnoValue), errnoValue);
}
