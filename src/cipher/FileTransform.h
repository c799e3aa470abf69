#pragma once
// Encryption and decryption of whole files. The encrypted layout has no header, length or
// check: byte i of the target is the transformed byte i of the source, and a self-extracting
// file is the module's first bytes followed by exactly those bytes.

#include "cipher/Progress.h"
#include "cipher/core/Transform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <time.h>

struct TSfxOptions {
    bool Enabled = false;   // the SFX box is checked
    std::string Module;     // path of the module; empty when none has been chosen
    int32_t ModuleSize = 0; // number of module bytes to copy, taken when it was chosen
};

inline constexpr const char* SfxNotFoundMessage = "Модуль SFX не найден";

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
};

// True when the whole target has been written. False when a self-extracting file was asked
// for without a module, or when a block write came out short (the user has been told).
// Every other failure raises an error. keyBytes are the key's bytes (CP1251), at least one.
// sourceRead, when given, receives the identity of the source as it was read.
[[nodiscard]] bool EncryptFileCore(const std::string& source, const std::string& target,
                                   std::span<const uint8_t> keyBytes, const TSfxOptions& sfx,
                                   TProgressReceiver* progress, const TOutputOptions& output = {},
                                   TFileIdentity* sourceRead = nullptr);
[[nodiscard]] bool DecryptFileCore(const std::string& source, const std::string& target,
                                   std::span<const uint8_t> keyBytes, TProgressReceiver* progress,
                                   const TOutputOptions& output = {});

// Progress values are 32-bit; larger files are reported in scaled units. The shift that makes
// a size fit, and the value reported for a position.
[[nodiscard]] int ProgressShift(int64_t size);
