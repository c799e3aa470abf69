#pragma once
// The file operations as the window's commands carry them out, shared by the window and by
// calyxor-cli so that both write the same bytes and keep the same promises. Nothing here knows
// Qt: problems are told through the engine's message handler, progress through a receiver.

#include "cipher/FileTransform.h"
#include "cipher/Progress.h"
#include "cipher/core/SecretBytes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The module the program uses when none has been chosen, relative to its own folder.
inline constexpr const char* DefaultSfxModuleName = "SFX/default.sfx";
// The settings file beside the executable.
inline constexpr const char* SettingsFileName = "calyxor.ini";

// Told when the source of an encryption could not be wiped; a CR and the path follow.
inline constexpr const char* CantDeleteMessage = "Не могу удалить файл";

namespace ops {

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

// Encrypts source into target (behind the module's first bytes when sfx is enabled). True when
// the whole target has been written; false when the user has been told why not (no module
// chosen, a short write); every other failure raises. A self-extracting file is a program, so
// it is made executable for whoever may read it.
[[nodiscard]] bool EncryptFile(const std::string& source, const std::string& target,
                               std::span<const uint8_t> key, const TSfxOptions& sfx,
                               TProgressReceiver* progress, const TOutputOptions& output = {},
                               TFileIdentity* sourceRead = nullptr);

[[nodiscard]] bool DecryptFile(const std::string& source, const std::string& target,
                               std::span<const uint8_t> key, TProgressReceiver* progress,
                               const TOutputOptions& output = {});

// Overwrites the file with 0x0F over its whole length, flushes it and deletes it. path serves
// the existence test, sourceFile the rest (callers pass the same file for both).
[[nodiscard]] bool WipeFile(const std::string& path, const std::string& sourceFile,
                            TProgressReceiver* progress);

// The encrypt command with «Удалить исходный файл» ticked: encrypt; only when the whole target
// has been written, put it on the device; only then wipe the very file that was read. A target
// that cannot be flushed, or a source that cannot be wiped, is told through the message
// handler and leaves the source in place. True when every step asked for succeeded; errors of
// the encryption itself raise, and nothing is wiped after them.
[[nodiscard]] bool EncryptAndWipe(const std::string& source, const std::string& target,
                                  std::span<const uint8_t> key, const TSfxOptions& sfx,
                                  bool wipeSource, TProgressReceiver* progress,
                                  const TOutputOptions& output = {});

} // namespace ops
