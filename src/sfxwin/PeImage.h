// SPDX-License-Identifier: MIT
#pragma once
// Where a Windows program's own image ends inside its file. A self-extracting file is the
// module's bytes with the encrypted bytes appended and nothing recording where one ends, so the
// module measures itself from its PE headers: the headers, every section's raw data, the COFF
// symbol table with its string table (left in by an unstripped MinGW link) and the certificate
// table of a signed file all lie before that point; whatever was appended lies after it.
// Measuring rather than stamping a size in after linking keeps the module valid after strip or
// signing. Plain byte arithmetic on a read callback, so the Linux tests can check it too.

#include "stub/StubShared.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Reads exactly n bytes at offset into buf; false when they are not all there.
using TReadAt = std::function<bool(uint64_t offset, void* buf, std::size_t n)>;

namespace pe_image_detail {

inline uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr std::size_t CoffHeaderSize = 20;
constexpr std::size_t SectionHeaderSize = 40;
constexpr std::size_t CoffSymbolSize = 18;
constexpr uint32_t SecurityDirectory = 4;

} // namespace pe_image_detail

// Finds the end of the PE image in a file of fileSize bytes. On failure returns false with the
// reason in error, worded to follow "its own file is not usable: ".
[[nodiscard]] inline bool PeImageEnd(const TReadAt& read, uint64_t fileSize, uint64_t& end,
                                     std::string& error) {
    using namespace pe_image_detail;
    uint8_t dos[64];
    if (!read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        error = Translated("Sfx", "it is not a Windows program");
        return false;
    }
    const uint64_t pe = Le32(dos + 0x3C);
    uint8_t head[4 + CoffHeaderSize];
    if (!read(pe, head, sizeof head) || Le32(head) != 0x00004550) { // "PE\0\0"
        error = Translated("Sfx", "its PE header is missing or cut short");
        return false;
    }
    const uint8_t* coff = head + 4;
    const uint32_t sections = Le16(coff + 2);
    const uint32_t symbolTable = Le32(coff + 8);
    const uint32_t symbols = Le32(coff + 12);
    const uint32_t optionalSize = Le16(coff + 16);

    // The optional header: up to the data directories of a PE32+ image, padded where shorter.
    uint8_t opt[112 + 16 * 8] = {};
    const std::size_t optRead = optionalSize < sizeof opt ? optionalSize : sizeof opt;
    if (optionalSize < 96 || !read(pe + sizeof head, opt, optRead)) {
        error = Translated("Sfx", "its optional header is missing or cut short");
        return false;
    }
    const uint32_t magic = Le16(opt);
    if (magic != 0x10B && magic != 0x20B) {
        error = Translated("Sfx", "its optional header is of an unknown kind");
        return false;
    }
    const std::size_t dirCountAt = magic == 0x20B ? 108 : 92;
    const std::size_t dirsAt = dirCountAt + 4;

    const uint64_t headers = Le32(opt + 60); // SizeOfHeaders
    TImageExtent image(fileSize, headers);
    const uint64_t table = pe + sizeof head + optionalSize;
    image.Extend(0, headers);
    image.Extend(table, uint64_t{sections} * SectionHeaderSize);
    for (uint32_t k = 0; k < sections && image.Inside(); ++k) {
        uint8_t sh[SectionHeaderSize];
        if (!read(table + uint64_t{k} * SectionHeaderSize, sh, sizeof sh)) {
            error = Translated("Sfx", "its section table cannot be read");
            return false;
        }
        const uint32_t rawSize = Le32(sh + 16);
        if (rawSize > 0) // zero-filled sections take no room in the file
            image.Extend(Le32(sh + 20), rawSize);
    }

    // A signature is appended after the sections; its directory entry holds a file offset.
    if (dirsAt + 8 * (SecurityDirectory + 1) <= optRead &&
        Le32(opt + dirCountAt) > SecurityDirectory) {
        const uint8_t* dir = opt + dirsAt + 8 * SecurityDirectory;
        if (Le32(dir + 4) > 0)
            image.Extend(Le32(dir), Le32(dir + 4));
    }

    // The symbol table is followed by a string table that starts with its own length.
    if (symbolTable != 0 && image.Inside()) {
        const uint64_t strings = symbolTable + uint64_t{symbols} * CoffSymbolSize;
        uint8_t len[4];
        if (!read(strings, len, sizeof len)) {
            error = Translated(
                "Sfx", "its symbol table points past the end of the file (the file is damaged)");
            return false;
        }
        image.Extend(symbolTable, strings - symbolTable + (Le32(len) < 4 ? 4 : Le32(len)));
    }

    if (!image.Inside()) {
        error = Translated("Sfx",
                           "its PE headers point past the end of the file (the file is damaged)");
        return false;
    }
    end = image.End();
    return true;
}
