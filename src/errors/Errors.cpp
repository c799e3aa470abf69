// SPDX-License-Identifier: MIT
#include "errors/Errors.h"

#include <cerrno>
#include <cstring>

std::string IOErrorText(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return Translated("Engine", "File not found");
    case ENOTDIR:
        return Translated("Engine", "Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return Translated("Engine", "File access denied");
    case ENOSPC:
#ifdef EDQUOT // not in MinGW's C library, which builds this for the Windows module
    case EDQUOT:
#endif
        return Translated("Engine", "Disk full");
    case EFBIG:
        // The file-size limit (ulimit -f), not the disk: telling "Disk full" sends the user
        // looking for space that is there.
        return Translated("Engine", "File too large");
    case EBADF:
        return Translated("Engine", "File not open");
    case EMFILE:
    case ENFILE:
        return Translated("Engine", "Too many open files");
    case EIO:
        return Translated("Engine", "Input/output error");
    default:
        return std::strerror(errnoValue);
    }
}

void RaiseIOError(int errnoValue) {
    throw EInOutError(IOErrorText(errnoValue), errnoValue);
}
