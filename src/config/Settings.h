// SPDX-License-Identifier: MIT
#pragma once
// The two paths the program remembers between runs, in "calyxor.ini" (Locations.h says where).

#include <string>
#include <string_view>

struct TSettingsValues {
    std::string SkinFile;
    std::string SfxModule;
};

// Applies every "key=value" line of the file's bytes to values: SKIN and SFX in any case of
// the ASCII letters, the last occurrence winning; everything else is ignored.
void ParseSettings(std::string_view bytes, TSettingsValues& values);

// The file as written: three lines, each cut to 255 characters, each ended by CR LF.
[[nodiscard]] std::string FormatSettings(const TSettingsValues& values);
