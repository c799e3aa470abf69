// SPDX-License-Identifier: MIT
#pragma once
// Where the program finds its shipped files and keeps its settings. A copy that carries its
// Skins/ and SFX/ beside itself (the build folder, an unpacked archive) is portable and keeps
// everything in its own folder. A copy installed into a bin/ folder finds its data in
// ../share/calyxor/ and, since it cannot write beside itself, keeps the user's settings in
// the XDG configuration folder.

#include <string>

struct TLocations {
    // Holds Skins/ and SFX/; ends with "/".
    std::string DataDir;
    std::string SettingsFile;
    // True when the settings live beside the executable: a missing file is then reported at
    // start, as it always was for a portable copy. An installed program's first start has no
    // settings yet and quietly uses the shipped ones.
    bool SettingsBeside = true;
};

// appDir: the executable's folder, ending with "/". Looks at the file system and at
// XDG_CONFIG_HOME and HOME.
[[nodiscard]] TLocations FindLocations(const std::string& appDir);

// The user's configuration folder, ending with "/": XDG_CONFIG_HOME when it is an absolute
// path, else HOME's .config; empty when neither is known.
[[nodiscard]] std::string ConfigHome(const char* xdgConfigHome, const char* home);

// The settings file's bytes. An installed program's missing file reads as empty, so the
// defaults stay; any other failure raises EInOutError.
[[nodiscard]] std::string ReadSettingsBytes(const TLocations& where);

// The settings file's path, with the folders above it created (mode 0700) when they lie in
// the user's configuration folder. A folder that cannot be made shows up as the error of
// creating the file itself.
[[nodiscard]] std::string SettingsPathForSaving(const TLocations& where);
