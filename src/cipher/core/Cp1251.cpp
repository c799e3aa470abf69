// SPDX-License-Identifier: MIT
#include "cipher/core/Cp1251.h"

#include "cipher/core/Cipher.h"
#include "errors/Errors.h"

const char32_t Cp1251High[128] = {
    // 0x80
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    // 0x90; 0x98 is a hole in the code page
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    // 0xA0
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    // 0xB0
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
    // 0xC0..0xFF: А..я in order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, //
};

namespace {

int EncodeCodePoint(char32_t cp) {
    if (cp < 0x80)
        return static_cast<int>(cp);
    for (int i = 0; i < 128; ++i)
        if (Cp1251High[i] == cp && cp != 0)
            return 0x80 + i;
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

namespace {

// Encodes into out, which has room for utf8.size() bytes: every CP1251 byte comes from at least
// one UTF-8 byte. Returns the number of bytes written.
std::size_t EncodeInto(std::string_view utf8, uint8_t* out) {
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        char32_t cp = 0;
        std::size_t extra = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        } else {
            throw Exception(Translated("Engine", "The key is not valid text."));
        }
        if (extra > 0 && i + extra >= utf8.size())
            throw Exception(Translated("Engine", "The key is not valid text."));
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cont = static_cast<uint8_t>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80)
                throw Exception(Translated("Engine", "The key is not valid text."));
            cp = (cp << 6) | (cont & 0x3F);
        }
        i += extra + 1;
        const int b = EncodeCodePoint(cp);
        if (b < 0) {
            // By hand: the C library's formatter is a large part of the self-extracting
            // modules, which call it nowhere else.
            std::string name = "U+";
            const int digits = cp > 0xFFFFF ? 6 : cp > 0xFFFF ? 5 : 4;
            for (int d = digits - 1; d >= 0; --d)
                name += "0123456789ABCDEF"[(cp >> (4 * d)) & 0xF];
            std::string shown;
            AppendUtf8(shown, cp <= 0xFFFF ? cp : 0xFFFD);
            throw Exception(
                Format(Translated("Engine", "The key contains \"%1\" (%2), which cannot be "
                                            "used in a key: use Latin or Cyrillic "
                                            "letters, digits and common signs."),
                       {shown, name}));
        }
        out[written++] = static_cast<uint8_t>(b);
    }
    return written;
}

} // namespace

std::vector<uint8_t> EncodeCp1251(std::string_view utf8) {
    const TSecretBytes bytes = EncodeKeyCp1251(utf8);
    return {bytes.data(), bytes.data() + bytes.size()};
}

TSecretBytes EncodeKeyCp1251(std::string_view utf8) {
    // Encoded straight into the buffer that is wiped when it goes, on a refused key too.
    TSecretBytes key(utf8.size());
    key.Shrink(EncodeInto(utf8, key.data()));
    return key;
}

std::string DecodeCp1251(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x80)
            out += c;
        else
            AppendUtf8(out, Cp1251High[b - 0x80] ? Cp1251High[b - 0x80] : 0xFFFD);
    }
    return out;
}
