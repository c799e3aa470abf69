// SPDX-License-Identifier: MIT
#include "ops/Operations.h"

#include "cipher/BlockFile.h"
#include "cipher/Wipe.h"
#include "cipher/core/Cp1251.h"
#include "config/FilePaths.h"
#include "config/Locations.h"
#include "config/Settings.h"
#include "config/TextFile.h"
#include "errors/Errors.h"

#include <cerrno>
#include <climits>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ops {

TSecretBytes KeyBytes(std::string_view utf8) {
    return EncodeKeyCp1251(utf8);
}

std::string ExecutableDir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    return ExtractFilePath(std::string(buf, static_cast<size_t>(n)));
}

std::string DefaultSfxModule(const std::string& appDir) {
    const TLocations where = FindLocations(appDir);
    TSettingsValues values{{}, where.DataDir + DefaultSfxModuleName};
    try {
        ParseSettings(ReadSettingsBytes(where), values);
    } catch (const std::exception&) {
        // No settings yet: the window starts with the shipped module too.
    }
    return values.SfxModule;
}

bool ReadSfxModuleSize(const std::string& module, int32_t& size) {
    struct stat st {};
    if (module.empty() || ::stat(module.c_str(), &st) != 0)
        return false;
    size = static_cast<int32_t>(static_cast<uint32_t>(st.st_size & 0xFFFFFFFF));
    return true;
}

namespace {

TOutcome Warning(std::string text, std::string path) {
    return {false, TNotice{std::move(text), std::move(path), {}}};
}

// The encryption both commands share; notOnDisk receives the result's NotOnDisk.
TOutcome Encrypt(const std::string& source, const std::string& target, std::span<const uint8_t> key,
                 const TSfxOptions& sfx, TProgressReceiver* progress, TNoticeReceiver* notices,
                 const TOutputOptions& output, TFileIdentity* sourceRead, int* notOnDisk) {
    // The module's path and size as the window holds them. An empty path makes the engine stop
    // once the target is opened, so that a missing source or a target that cannot be created
    // is heard of before the missing module.
    const TModulePrefix module{sfx.Module, sfx.ModuleSize};
    const TTransformResult result =
        EncryptFileCore(source, target, key, sfx.Enabled ? &module : nullptr, progress, notices,
                        output, sourceRead);
    if (result.End == TTransformEnd::NoModule)
        return Warning(Translated("Engine", SfxNotFoundMessage), target); // the file not made
    // A self-extracting file is made a program by the engine as it is written, through its
    // descriptor: nothing opens the target by name once it is in place.
    if (notOnDisk)
        *notOnDisk = result.NotOnDisk;
    return {static_cast<bool>(result), std::nullopt};
}

} // namespace

TOutcome EncryptFile(const std::string& source, const std::string& target,
                     std::span<const uint8_t> key, const TSfxOptions& sfx,
                     TProgressReceiver* progress, TNoticeReceiver* notices,
                     const TOutputOptions& output, TFileIdentity* sourceRead) {
    return Encrypt(source, target, key, sfx, progress, notices, output, sourceRead, nullptr);
}

TOutcome DecryptFile(const std::string& source, const std::string& target,
                     std::span<const uint8_t> key, TProgressReceiver* progress,
                     TNoticeReceiver* notices, const TOutputOptions& output) {
    return {static_cast<bool>(DecryptFileCore(source, target, key, progress, notices, output)),
            std::nullopt};
}

TOutcome WipeFile(const std::string& path, const std::string& sourceFile,
                  TProgressReceiver* progress, TNoticeReceiver* notices) {
    return {static_cast<bool>(WipeFileCore(path, sourceFile, progress, notices)), std::nullopt};
}

TOutcome EncryptAndWipe(const std::string& source, const std::string& target,
                        std::span<const uint8_t> key, const TSfxOptions& sfx, bool wipeSource,
                        TProgressReceiver* progress, TNoticeReceiver* notices,
                        const TOutputOptions& output) {
    TFileIdentity read;
    TOutputOptions durable = output;
    durable.Durable = wipeSource;
    int notOnDisk = 0;
    TOutcome encrypted =
        Encrypt(source, target, key, sfx, progress, notices, durable, &read, &notOnDisk);
    if (!encrypted || !wipeSource)
        return encrypted;
    // The source goes only when its encrypted copy is on the device: after a crash or a power
    // cut the encrypted file must be there if the source is not. The engine has flushed a
    // file it put in place; a pipe, a FIFO or a device holds nothing after the run.
    if (notOnDisk == EINVAL)
        return Warning(Translated("Engine", "The encrypted bytes went to a pipe, a FIFO or a "
                                            "device, not to a file on the disk; the source file "
                                            "was kept."),
                       target);
    if (notOnDisk != 0)
        return Warning(Format(Translated("Engine", "The encrypted file could not be written to "
                                                   "the disk (%1); the source file was kept."),
                              {IOErrorText(notOnDisk)}),
                       target);
    if (!WipeVerifiedFile(source, read, progress, notices))
        return Warning(std::string(Translated("Engine", CantDeleteMessage)) + '\r' + source,
                       source);
    return {true, std::nullopt};
}

} // namespace ops
