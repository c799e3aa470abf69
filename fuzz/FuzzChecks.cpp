// SPDX-License-Identifier: MIT
#include "fuzz/FuzzChecks.h"

#include "config/FilePaths.h"
#include "config/Settings.h"
#include "config/SkinValues.h"
#include "config/TextFile.h"
#include "errors/Errors.h"
#include "ops/Naming.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace {

std::string_view AsText(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

bool HasLineEnd(std::string_view s) {
    return s.find('\r') != std::string_view::npos || s.find('\x1A') != std::string_view::npos;
}

// The number rules read a second way, with the standard library doing the digits: blanks,
// then a sign and decimal digits, or a hexadecimal prefix and at most 32 bits of hex digits.
std::optional<int32_t> PlainNumber(std::string_view s) {
    const std::size_t start = s.find_first_not_of(' ');
    s = start == std::string_view::npos ? std::string_view() : s.substr(start);
    std::string_view digits;
    int base = 10;
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (s.starts_with(prefix)) {
            digits = s.substr(prefix.size());
            base = 16;
            break;
        }
    }
    bool negative = false;
    if (base == 10) {
        digits = s;
        if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
            negative = digits[0] == '-';
            digits.remove_prefix(1);
        }
    }
    // from_chars takes no sign or prefix itself: anything but digits must be refused here.
    if (digits.empty() || digits.find_first_of("+-xX$ ") != std::string_view::npos)
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    if (base == 16)
        return value > 0xFFFFFFFFu
                   ? std::nullopt
                   : std::optional<int32_t>(static_cast<int32_t>(static_cast<uint32_t>(value)));
    if (value > (negative ? 2147483648u : 2147483647u))
        return std::nullopt;
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(value)
                                         : static_cast<int64_t>(value));
}

std::string CheckNumber(std::string_view value) {
    std::optional<int32_t> got;
    try {
        got = SkinStrToInt(value);
    } catch (const EConvertError& e) {
        // The message is shown as a C string, so a NUL in the value ends it there: the
        // message box shows no more than that either.
        const std::string full = "'" + std::string(value) + "' is not a valid integer value";
        if (std::string_view(e.what()) != std::string_view(full.c_str()))
            return "number error does not quote the value: " + std::string(e.what());
    }
    const auto expected = PlainNumber(value);
    if (got != expected)
        return "number '" + std::string(value) + "' read as " +
               (got ? std::to_string(*got) : "invalid") + ", expected " +
               (expected ? std::to_string(*expected) : "invalid");
    return {};
}

std::string CheckUpper(std::string_view in) {
    const std::string up = UpperStr(in);
    if (up.size() != in.size())
        return "UpperStr changed the length";
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        const char want = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        if (up[i] != want)
            return "UpperStr changed a byte it must keep, or kept one it must change";
    }
    return {};
}

} // namespace

std::string CheckSettings(const uint8_t* data, std::size_t size) {
    const std::string_view bytes = AsText(data, size);
    TSettingsValues values{"default skin", "default sfx"};
    ParseSettings(bytes, values);
    const bool skinSet = values.SkinFile != "default skin";
    const bool sfxSet = values.SfxModule != "default sfx";
    // "Skin=" and "SFX=" take 5 and 4 of a line's 255 characters.
    if (skinSet && values.SkinFile.size() > 250)
        return "skin path longer than a line can hold";
    if (sfxSet && values.SfxModule.size() > 251)
        return "SFX path longer than a line can hold";
    if (HasLineEnd(values.SkinFile) || HasLineEnd(values.SfxModule))
        return "a value runs over a line end";
    // What was read is written and read back unchanged.
    TSettingsValues again{"x", "y"};
    ParseSettings(FormatSettings(values), again);
    if (again.SkinFile != values.SkinFile || again.SfxModule != values.SfxModule)
        return "settings do not survive being written and read back";
    return {};
}

std::string CheckSkin(const uint8_t* data, std::size_t size) {
    const std::string_view bytes = AsText(data, size);
    // Short inputs are numbers too: the fuzzer finds the number rules' corners faster in a
    // value of its own than inside a whole skin.
    if (size <= 40)
        if (auto err = CheckNumber(bytes); !err.empty())
            return err;
    if (auto err = CheckUpper(bytes); !err.empty())
        return err;
    std::string err;
    std::size_t lines = 0;
    // The loader's own reading of the lines; what it hands on must hold these rules.
    const bool marked = ReadSkinSettings(
        bytes, [&](const std::string& section, const std::string& key, const std::string& value) {
            if (!err.empty())
                return;
            // Every line consumes at least one byte, so no more lines can come than bytes.
            if (++lines > size + 1)
                err = "the line reader does not move on";
            else if (HasLineEnd(section) || HasLineEnd(key) || HasLineEnd(value))
                err = "a line holds a line end";
            else if (value.empty() || (!section.empty() && section[0] != '['))
                err = "an empty value or a section that is not a section line was handed on";
            else if (key == "LEFT" || key == "TOP" || key == "WIDTH" || key == "HEIGHT" ||
                     key == "COLOR" || key == "BACKCOLOR" || key == "FONTSIZE")
                err = CheckNumber(value);
            else if (key == "BACKGROUND" || key == "PICTUREUP" || key == "PICTUREDOWN") {
                // Pictures are named relative to the skin's folder: the value is appended as it is.
                const std::string path = "/skins/x/" + NativeSeparators(value);
                if (path.size() != 9 + value.size() || path.find('\\') != std::string::npos)
                    err = "picture path built wrongly";
            }
        });
    if (marked != (bytes.starts_with("<CALYXOR SKIN FILE>") &&
                   (size == 19 || bytes[19] == '\r' || bytes[19] == '\x1A')))
        return "marker line recognised wrongly";
    if (!marked && lines > 0)
        return "lines of a file without the marker were applied";
    return err;
}

std::string CheckDecryptName(const uint8_t* data, std::size_t size) {
    const std::string_view path = AsText(data, size);
    const std::string dir = ExtractFilePath(path);
    const std::string name = ExtractFileName(path);
    const std::string ext = ExtractFileExt(path);
    if (dir + name != path)
        return "folder and name do not make up the path";
    if (name.find('/') != std::string::npos || (!dir.empty() && dir.back() != '/'))
        return "the name holds a folder separator";
    if (!ext.empty() &&
        (ext[0] != '.' || !name.ends_with(ext) || ext.find('.', 1) != std::string::npos))
        return "the extension is not the name's last dotted part";
    const std::string target = DecryptTargetName(path);
    if (!name.starts_with(target))
        return "the output name is not the start of the source's name";
    if (ext.empty() ? !target.empty() : name.find(ext) != target.size())
        return "the output name is not cut at the first occurrence of the extension";
    return {};
}
