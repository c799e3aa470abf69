// SPDX-License-Identifier: MIT
#pragma once
// The file operations as the window's commands carry them out, shared by the window and by
// calyxor-cli so that both write the same bytes and keep the same promises. Nothing here knows
// Qt and nothing here shows anything: progress goes to a receiver, the problems after which a
// run goes on to a notice receiver, and how a run ended comes back as its outcome (or raised),
// with the program's own warning when it has one. Each program shows them in its own way.

#include "cipher/FileTransform.h"
#include "cipher/Notices.h"
#include "cipher/Progress.h"
#include "cipher/core/SecretBytes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The module the program uses when none has been chosen, relative to its own folder.
inline constexpr const char* DefaultSfxModuleName = "SFX/default.sfx";
// The settings file beside the executable.
inline constexpr const char* SettingsFileName = "calyxor.ini";

// The warning when the source of an encryption could not be wiped; a CR and the path follow.
inline constexpr const char* CantDeleteMessage = "Не могу удалить файл";
// The warning when a self-extracting file is asked for and no module has been chosen.
inline constexpr const char* SfxNotFoundMessage = "Модуль SFX не найден";

// The window's «Создать SFX шифрованный файл» and the module it would use.
struct TSfxOptions {
    bool Enabled = false;   // the SFX box is checked
    std::string Module;     // path of the module; empty when none has been chosen
    int32_t ModuleSize = 0; // number of module bytes to copy, taken when it was chosen
};

namespace ops {

// How an operation that raised nothing ended. Done only when every step asked for succeeded.
// Warning: the program's own warning about the run, for the caller to show once the run is
// over (the window shows it in its error dialog): no module chosen, a target that could not be
// put on the device, a source that could not be wiped. Its text is in the user's language.
// A run that is not done may have no warning: its notices said why (a short block write, a
// file that could not be opened), or there was nothing to do (a wipe of a missing file).
struct TOutcome {
    bool Done = false;
    std::optional<TNotice> Warning;
    explicit operator bool() const { return Done; }
};

// The key's bytes: the text's CP1251 encoding, so that a key typed in Cyrillic gives the same
// bytes wherever the file is opened. Raises Exception when the text is not valid UTF-8 or holds
// a character CP1251 cannot represent: a key is never changed silently.
[[nodiscard]] TSecretBytes KeyBytes(std::string_view utf8);

// The folder of the running executable, ending in "/".
[[nodiscard]] std::string ExecutableDir();

// The module the window would use: the "SFX=" path of the settings file in appDir (it may be
// empty: no module chosen), else appDir + "SFX/default.sfx".
[[nodiscard]] std::string DefaultSfxModule(const std::string& appDir);

// Takes the module's size as the window does when a module is chosen: the low 32 bits of the
// file's size. False, and size unchanged, when no file is found under the path.
bool ReadSfxModuleSize(const std::string& module, int32_t& size);

// Encrypts source into target (behind the module's first bytes when sfx is enabled). Done when
// the whole target has been written; not done after a short write, or with the missing-module
// warning when sfx is enabled without a module; every other failure raises. A self-extracting
// file is a program, so it is made executable for whoever may read it.
[[nodiscard]] TOutcome EncryptFile(const std::string& source, const std::string& target,
                                   std::span<const uint8_t> key, const TSfxOptions& sfx,
                                   TProgressReceiver* progress, TNoticeReceiver* notices,
                                   const TOutputOptions& output = {},
                                   TFileIdentity* sourceRead = nullptr);

[[nodiscard]] TOutcome DecryptFile(const std::string& source, const std::string& target,
                                   std::span<const uint8_t> key, TProgressReceiver* progress,
                                   TNoticeReceiver* notices, const TOutputOptions& output = {});

// Overwrites the file with 0x0F over its whole length, flushes it and deletes it. path serves
// the existence test, sourceFile the rest (callers pass the same file for both). Never a
// warning: a file that cannot be wiped is a notice, a missing one is silence.
[[nodiscard]] TOutcome WipeFile(const std::string& path, const std::string& sourceFile,
                                TProgressReceiver* progress, TNoticeReceiver* notices);

// The encrypt command with «Удалить исходный файл» ticked: encrypt; only when the whole target
// has been written, put it on the device; only then wipe the very file that was read. A target
// that cannot be flushed, or a source that cannot be wiped, leaves the source in place and
// comes back as the warning. Done when every step asked for succeeded; errors of the
// encryption itself raise, and nothing is wiped after them.
[[nodiscard]] TOutcome EncryptAndWipe(const std::string& source, const std::string& target,
                                      std::span<const uint8_t> key, const TSfxOptions& sfx,
                                      bool wipeSource, TProgressReceiver* progress,
                                      TNoticeReceiver* notices, const TOutputOptions& output = {});

} // namespace ops
