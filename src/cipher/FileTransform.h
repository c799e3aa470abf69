// SPDX-License-Identifier: MIT
#pragma once
// Encryption and decryption of whole files. The encrypted layout has no header, length or
// check: byte i of the target is the transformed byte i of the source, and a self-extracting
// file is the module's first bytes followed by exactly those bytes.

#include "cipher/Notices.h"
#include "cipher/Progress.h"
#include "cipher/core/Transform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <time.h>

// A self-extracting file: the first Size bytes of the module file at Path go ahead of the
// encrypted ones, unchanged, and the target is made a program. An empty Path names no module.
struct TModulePrefix {
    std::string Path;
    int32_t Size = 0;
};

// What the transform read: enough to tell later whether the file at the source's path is
// still that very file, unchanged (a wipe that follows an encryption checks it first).
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    int64_t Size = 0;
    timespec ChangeTime{};
    timespec ModifyTime{};
};

// How the target is put in place.
struct TOutputOptions {
    // False: an existing file is never touched, also one that appears under the name while
    // the run goes on; the run raises EInOutError (EEXIST) naming it. Pipes, devices and
    // standard output are written either way: writing to them replaces nothing.
    bool MayReplace = true;
    // The caller wipes the source next and relies on the target being on the device: a
    // target written through a descriptor or a stream is flushed through it too, and the
    // result's NotOnDisk says when it could not be.
    bool Durable = false;
};

// How a run that raised nothing ended.
enum class TTransformEnd {
    Written,  // the whole target is in place
    NoModule, // a module prefix without a module path: nothing written, the target untouched
    CutShort, // a block write came out short (each was a notice); the target is left as it was
};

struct TTransformResult {
    TTransformEnd End = TTransformEnd::Written;
    // With TOutputOptions::Durable: 0 when the whole target is on the device, else the errno
    // value that says why it is not (EINVAL: a pipe, a FIFO or a device, never on a disk).
    int NotOnDisk = 0;
    explicit operator bool() const { return End == TTransformEnd::Written; }
};

// Every failure but the two ends above raises an error. keyBytes are the key's bytes (CP1251),
// at least one. module, when given, is put ahead of the encrypted bytes. notices hears the
// problems after which the run goes on. sourceRead, when given, receives the identity of the
// source as it was read.
[[nodiscard]] TTransformResult
EncryptFileCore(const std::string& source, const std::string& target,
                std::span<const uint8_t> keyBytes, const TModulePrefix* module,
                TProgressReceiver* progress, TNoticeReceiver* notices,
                const TOutputOptions& output = {}, TFileIdentity* sourceRead = nullptr);
[[nodiscard]] TTransformResult DecryptFileCore(const std::string& source, const std::string& target,
                                               std::span<const uint8_t> keyBytes,
                                               TProgressReceiver* progress,
                                               TNoticeReceiver* notices,
                                               const TOutputOptions& output = {});

// Progress values are 32-bit; larger files are reported in scaled units. The shift that makes
// a size fit, and the value reported for a position.
[[nodiscard]] int ProgressShift(int64_t size);
