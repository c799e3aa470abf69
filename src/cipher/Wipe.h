#pragma once
// Wiping: the file is overwritten with the byte 0x0F over its whole length, the bytes are
// flushed to the device, and only then is the file deleted.

#include "cipher/FileTransform.h"
#include "cipher/Progress.h"

#include <string>

constexpr uint8_t WipeFillByte = 0x0F;

// path is used for the existence test; sourceFile for opening, overwriting and deleting (every
// caller passes the same file for both). Only the file found at path is ever touched: a
// symbolic link, or another file put under the name meanwhile, is refused.
// True when the file has been overwritten and deleted. False when it is missing (nothing
// said), cannot be opened for reading and writing (the user has been told), or was
// overwritten but could not be deleted (told too: the data is gone, the name is still there).
// A failed write or flush raises EInOutError and leaves the file in place.
[[nodiscard]] bool WipeFileCore(const std::string& path, const std::string& sourceFile,
                                TProgressReceiver* progress);

// The wipe that follows an encryption: only the very file that was read is wiped, through one
// descriptor checked against what was read (device, inode, size, change and modification
// times). When the file at path is no longer that file, or has changed since it was read,
// nothing is touched, the user is told, and the result is false; otherwise as WipeFileCore.
[[nodiscard]] bool WipeVerifiedFile(const std::string& path, const TFileIdentity& expected,
                                    TProgressReceiver* progress);
