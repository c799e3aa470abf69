// SPDX-License-Identifier: MIT
#pragma once
// Where the stub's own image ends inside its file. A self-extracting file is the stub's bytes
// with the encrypted bytes appended, and nothing in it records where one ends and the other
// begins, so the stub measures itself: everything the ELF format accounts for (the file
// header, the program and section header tables, every segment and every section that takes
// room in the file) lies before that point, and whatever was appended lies after it. Reading
// the size from the headers rather than stamping it in after linking keeps the stub valid
// after strip or any other tool that rewrites the file.

#include "cipher/UniqueFd.h"
#include "stub/StubShared.h"

#include <elf.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
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

// The running program's own file, found through /proc.
inline constexpr const char* SelfPath = "/proc/self/exe";

// The stub's own file, open for reading its appended bytes, and where they begin. Raises
// std::runtime_error, worded to follow the program's name, when the file cannot be opened or
// measured or has nothing appended.
class TSelfFile {
public:
    explicit TSelfFile(const std::string& startedAs) {
        Fd.Reset(::open(SelfPath, O_RDONLY | O_CLOEXEC));
        // Without /proc (some containers) the name it was started under may still lead to it.
        if (!Fd && startedAs.find('/') != std::string::npos)
            Fd.Reset(::open(startedAs.c_str(), O_RDONLY | O_CLOEXEC));
        if (!Fd)
            throw std::runtime_error(Format(Translated("Sfx", "cannot open its own file %1: %2"),
                                            {SelfPath, std::strerror(errno)}));
        if (::fstat(Fd.Get(), &Stat) != 0)
            throw std::runtime_error(Format(Translated("Sfx", "cannot measure its own file: %1"),
                                            {std::strerror(errno)}));
        Size = static_cast<uint64_t>(Stat.st_size);
        std::string why;
        if (!ElfImageEnd(Fd.Get(), Size, PayloadStart, why))
            throw std::runtime_error(
                Format(Translated("Sfx", "its own file is not usable: %1"), {why}));
        if (PayloadStart >= Size)
            throw std::runtime_error(Translated(
                "Sfx", "nothing to extract: no encrypted file follows this program. It is the "
                       "bare self-extracting module; run a self-extracting file that Calyxor "
                       "made (\"NAME.exe\") instead."));
    }

    TUniqueFd Fd;
    struct stat Stat {};
    uint64_t Size = 0;
    uint64_t PayloadStart = 0;
};
