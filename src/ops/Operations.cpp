#include "ops/Operations.h"

#include "cipher/BlockFile.h"
#include "cipher/Wipe.h"
#include "cipher/core/Cp1251.h"
#include "config/FilePaths.h"
#include "config/Locations.h"
#include "config/Settings.h"
#include "config/TextFile.h"

#include <climits>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

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

bool EncryptFile(const std::string& source, const std::string& target, std::span<const uint8_t> key,
                 const TSfxOptions& sfx, TProgressReceiver* progress, const TOutputOptions& output,
                 TFileIdentity* sourceRead) {
    const bool ok = EncryptFileCore(source, target, key, sfx, progress, output, sourceRead);
    if (ok && sfx.Enabled && !target.empty()) {
        struct stat st {};
        // Execute permission wherever there is read permission, as a compiler leaves a program.
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            (void)::chmod(target.c_str(), (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2));
    }
    return ok;
}

bool DecryptFile(const std::string& source, const std::string& target, std::span<const uint8_t> key,
                 TProgressReceiver* progress, const TOutputOptions& output) {
    return DecryptFileCore(source, target, key, progress, output);
}

bool WipeFile(const std::string& path, const std::string& sourceFile, TProgressReceiver* progress) {
    return WipeFileCore(path, sourceFile, progress);
}

bool EncryptAndWipe(const std::string& source, const std::string& target,
                    std::span<const uint8_t> key, const TSfxOptions& sfx, bool wipeSource,
                    TProgressReceiver* progress, const TOutputOptions& output) {
    TFileIdentity read;
    if (!EncryptFile(source, target, key, sfx, progress, output, &read))
        return false;
    if (!wipeSource)
        return true;
    // The source goes only when its encrypted copy is on the device: after a crash or a power
    // cut the encrypted file must be there if the source is not.
    try {
        FlushToDevice(target);
    } catch (const std::exception& e) {
        ShowMessageText(
            Format(Translated("Engine", "The encrypted file could not be written to the "
                                        "disk (%1); the source file was kept."),
                   {e.what()}));
        return false;
    }
    if (!WipeVerifiedFile(source, read, progress)) {
        ShowMessageText(std::string(CantDeleteMessage) + '\r' + source);
        return false;
    }
    return true;
}

} // namespace ops
