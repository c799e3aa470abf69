// SPDX-License-Identifier: MIT
#pragma once
// Where an ELF program's own image ends inside its file. A self-extracting file is the stub's
// bytes with the encrypted bytes appended, and nothing in it records where one ends and the
// other begins, so the stub measures itself, and a module is checked to be one whole program
// before it is copied: everything the ELF format accounts for (the file
// header, the program and section header tables, every segment and every section that takes
// room in the file) lies before that point, and whatever was appended lies after it. Reading
// the size from the headers rather than stamping it in after linking keeps the stub valid
// after strip or any other tool that rewrites the file.

#include "image/ImageExtent.h"
#include "lang/Texts.h"

#include <elf.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace elf_image_detail {

inline bool ReadAt(int fd, void* buf, std::size_t n, uint64_t offset) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

template <class Ehdr, class Phdr, class Shdr>
bool ImageEnd(int fd, uint64_t fileSize, uint64_t& end, std::string& error) {
    Ehdr eh;
    if (!ReadAt(fd, &eh, sizeof eh, 0)) {
        error = Translated("Sfx", "its ELF header is cut short");
        return false;
    }
    TImageExtent image(fileSize, sizeof eh);

    Shdr first{};
    const bool haveSections = eh.e_shoff != 0;
    if (haveSections) {
        if (eh.e_shentsize != sizeof(Shdr) || !ReadAt(fd, &first, sizeof first, eh.e_shoff)) {
            error = Translated("Sfx", "its section header table cannot be read");
            return false;
        }
    }

    // Counts too large for the file header are kept in the first section header instead.
    uint64_t phnum = eh.e_phnum;
    if (phnum == PN_XNUM && haveSections)
        phnum = first.sh_info;
    if (phnum > 0) {
        if (eh.e_phentsize != sizeof(Phdr) || phnum > fileSize / sizeof(Phdr)) {
            error = Translated("Sfx", "its program header table is malformed");
            return false;
        }
        image.Extend(eh.e_phoff, phnum * sizeof(Phdr));
        for (uint64_t k = 0; k < phnum && image.Inside(); ++k) {
            Phdr ph;
            if (!ReadAt(fd, &ph, sizeof ph, eh.e_phoff + k * sizeof(Phdr))) {
                error = Translated("Sfx", "its program header table cannot be read");
                return false;
            }
            if (ph.p_filesz > 0)
                image.Extend(ph.p_offset, ph.p_filesz);
        }
    }

    if (haveSections) {
        uint64_t shnum = eh.e_shnum;
        if (shnum == 0)
            shnum = first.sh_size;
        if (shnum == 0 || shnum > fileSize / sizeof(Shdr)) {
            error = Translated("Sfx", "its section header table is malformed");
            return false;
        }
        image.Extend(eh.e_shoff, shnum * sizeof(Shdr));
        for (uint64_t k = 0; k < shnum && image.Inside(); ++k) {
            Shdr sh;
            if (!ReadAt(fd, &sh, sizeof sh, eh.e_shoff + k * sizeof(Shdr))) {
                error = Translated("Sfx", "its section header table cannot be read");
                return false;
            }
            // Zero-filled sections (.bss) take no room in the file.
            if (sh.sh_type != SHT_NOBITS && sh.sh_size > 0)
                image.Extend(sh.sh_offset, sh.sh_size);
        }
    }

    if (!image.Inside()) {
        error = Translated("Sfx",
                           "its ELF headers point past the end of the file (the file is damaged)");
        return false;
    }
    end = image.End();
    return true;
}

} // namespace elf_image_detail

// Finds the end of the ELF image in the open file fd of fileSize bytes. On failure returns
// false with the reason in error, worded to follow "the file is not usable: ".
[[nodiscard]] inline bool ElfImageEnd(int fd, uint64_t fileSize, uint64_t& end,
                                      std::string& error) {
    unsigned char ident[EI_NIDENT];
    if (!elf_image_detail::ReadAt(fd, ident, sizeof ident, 0) ||
        std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
        error = Translated("Sfx", "it is not an ELF program");
        return false;
    }
    constexpr unsigned char hostData =
        __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? ELFDATA2MSB : ELFDATA2LSB;
    if (ident[EI_DATA] != hostData) {
        error = Translated("Sfx", "its ELF byte order is not this machine's");
        return false;
    }
    if (ident[EI_CLASS] == ELFCLASS64)
        return elf_image_detail::ImageEnd<Elf64_Ehdr, Elf64_Phdr, Elf64_Shdr>(fd, fileSize, end,
                                                                              error);
    if (ident[EI_CLASS] == ELFCLASS32)
        return elf_image_detail::ImageEnd<Elf32_Ehdr, Elf32_Phdr, Elf32_Shdr>(fd, fileSize, end,
                                                                              error);
    error = Translated("Sfx", "its ELF class is unknown");
    return false;
}
