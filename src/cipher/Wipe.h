#pragma once
// Wiping: the file is overwritten with the byte 0x0F over its whole length, the bytes are
// flushed to the device, and only then is the file deleted.

#include "FileTransform.h"
#include "Progress.h"

#include <string>

constexpr uint8_t WipeFillByte = 0x0F;

// path is used for the attribute change and the existence test; sourceFile for opening,
// overwriting and deleting (every caller passes the same file for both).
// True when the file has been overwritten and its deletion asked for; false when it is missing
// or cannot be opened for reading or writing (the user has been told of the latter).
[[nodiscard]] bool WipeFileCore(const std::string& path, const std::string& sourceFile,
                                TProgressReceiver* progress);

// The wipe that follows an encryption: only the very file that was read is wiped. When the
// file at path is no longer the one described (another file saved under the name, changed
// since it was read), nothing is touched, the user is told, and the result is false.
[[nodiscard]] bool WipeVerifiedFile(const std::string& path, const TFileIdentity& expected,
                                    TProgressReceiver* progress);
