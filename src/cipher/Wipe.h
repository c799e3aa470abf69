// SPDX-License-Identifier: MIT
#pragma once
// Wiping: the file is overwritten with the byte 0x0F over its whole length, the bytes are
// flushed to the device, and only then is the file deleted.

#include "cipher/FileTransform.h"
#include "cipher/Notices.h"
#include "cipher/Progress.h"

#include <string>

constexpr uint8_t WipeFillByte = 0x0F;

// How a wipe that raised nothing ended.
enum class TWipeEnd {
    Wiped,    // overwritten, flushed and deleted
    Missing,  // nothing under the path: nothing done, and no notice
    Refused,  // could not be opened for overwriting, or is not the file meant: untouched
    NameKept, // overwritten, but the name could not be removed: the data is gone, the name not
};

struct TWipeResult {
    TWipeEnd End = TWipeEnd::Wiped;
    explicit operator bool() const { return End == TWipeEnd::Wiped; }
};

// path is used for the existence test; sourceFile for opening, overwriting and deleting (every
// caller passes the same file for both). Only the file found at path is ever touched: a
// symbolic link, or another file put under the name meanwhile, is refused. Every end but
// Wiped and Missing comes with a notice that says why. A failed write or flush raises
// EInOutError and leaves the file in place.
[[nodiscard]] TWipeResult WipeFileCore(const std::string& path, const std::string& sourceFile,
                                       TProgressReceiver* progress, TNoticeReceiver* notices);

// The wipe that follows an encryption: only the very file that was read is wiped, through one
// descriptor checked against what was read (device, inode, size, change and modification
// times). When the file at path is no longer that file, or has changed since it was read,
// nothing is touched, a notice says so, and the end is Refused; otherwise as WipeFileCore.
[[nodiscard]] TWipeResult WipeVerifiedFile(const std::string& path, const TFileIdentity& expected,
                                           TProgressReceiver* progress, TNoticeReceiver* notices);
