// SPDX-License-Identifier: MIT
#include "config/Settings.h"

#include "config/TextFile.h"

void ParseSettings(std::string_view bytes, TSettingsValues& values) {
    TTextReader reader(bytes);
    while (!reader.Eof()) {
        const std::string line = reader.ReadLine(TextLineLimit);
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = UpperStr(line.substr(0, eq));
        const std::string value = line.substr(eq + 1);
        if (key == "SKIN")
            values.SkinFile = value;
        else if (key == "SFX")
            values.SfxModule = value;
    }
}

std::string FormatSettings(const TSettingsValues& values) {
    auto line = [](std::string text) {
        if (text.size() > TextLineLimit)
            text.resize(TextLineLimit);
        return text + "\r\n";
    };
    return line("[Config]") + line("Skin=" + values.SkinFile) + line("SFX=" + values.SfxModule);
}
