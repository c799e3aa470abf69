// SPDX-License-Identifier: MIT
#include "config/Locations.h"

#include "config/TextFile.h"
#include "errors/Errors.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// HOME is unset under some service managers; the password database still knows the folder.
std::string HomeOfUser() {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

} // namespace

std::string ConfigHome(const char* xdgConfigHome, const char* home) {
    // A relative XDG_CONFIG_HOME is to be ignored: it would move with the working folder.
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        return WithSlash(xdgConfigHome);
    if (home && home[0] == '/')
        return WithSlash(home) + ".config/";
    return {};
}

TLocations FindLocations(const std::string& appDir) {
    TLocations where;
    const bool dataBeside = IsDir(appDir + "Skins") && IsDir(appDir + "SFX");
    // /proc/self/exe names the real file, so ".." can be taken away by the letters alone.
    const std::string shared =
        WithSlash(std::filesystem::path(appDir + "../share/calyxor/").lexically_normal().string());
    // Neither beside nor installed (a lone binary somewhere): treated as portable, so that the
    // missing files are reported instead of quietly looked for elsewhere.
    const bool installed = !dataBeside && IsDir(shared);
    where.DataDir = installed ? shared : appDir;

    const std::string beside = appDir + "calyxor.ini";
    std::string config;
    if (installed && !Exists(beside)) {
        const char* home = std::getenv("HOME");
        const std::string homeDir = home && home[0] == '/' ? std::string(home) : HomeOfUser();
        config = ConfigHome(std::getenv("XDG_CONFIG_HOME"), homeDir.c_str());
    }
    where.SettingsBeside = config.empty();
    where.SettingsFile = where.SettingsBeside ? beside : config + "calyxor/calyxor.ini";
    return where;
}

std::string ReadSettingsBytes(const TLocations& where) {
    try {
        return ReadTextFileBytes(where.SettingsFile);
    } catch (const EInOutError& e) {
        if (where.SettingsBeside || e.ErrorCode != ENOENT)
            throw;
        return {};
    }
}

std::string SettingsPathForSaving(const TLocations& where) {
    if (!where.SettingsBeside) {
        const std::string& path = where.SettingsFile;
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            (void)::mkdir(path.substr(0, slash).c_str(), 0700);
    }
    return where.SettingsFile;
}
