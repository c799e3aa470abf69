// SPDX-License-Identifier: MIT
#include "config/SkinValues.h"

#include "config/TextFile.h"
#include "errors/Errors.h"

namespace {

[[noreturn]] void Invalid(std::string_view text) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

int32_t SkinStrToInt(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && text[p] == ' ')
        ++p;
    std::string_view rest = text.substr(p);
    std::size_t prefix = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X"))
        prefix = 2;
    else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X"))
        prefix = 1;
    if (prefix > 0) {
        rest.remove_prefix(prefix);
        if (rest.empty())
            Invalid(text);
        uint64_t value = 0;
        for (char c : rest) {
            const int d = HexDigit(c);
            if (d < 0)
                Invalid(text);
            value = value * 16 + static_cast<uint64_t>(d);
            if (value > 0xFFFFFFFFu)
                Invalid(text);
        }
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    bool negative = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty())
        Invalid(text);
    int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            Invalid(text);
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1)
            Invalid(text);
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        Invalid(text);
    return static_cast<int32_t>(value);
}

bool ReadSkinSettings(std::string_view bytes, const TSkinSettingFn& apply) {
    TTextReader reader(bytes);
    if (reader.ReadLine() != SkinMarker)
        return false;
    std::string section;
    while (!reader.Eof()) {
        const std::string line = reader.ReadLine();
        std::string key, value;
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) {
            key = UpperStr(line.substr(0, eq));
            value = line.substr(eq + 1);
        }
        // A section line may hold a "=" too: it names the section and is applied in it.
        if (!line.empty() && line[0] == '[')
            section = UpperStr(line);
        if (value.empty())
            continue;
        apply(section, key, value);
    }
    return true;
}
