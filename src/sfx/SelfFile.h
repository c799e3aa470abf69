// SPDX-License-Identifier: MIT
#pragma once
// The Linux stub's own file: opened, measured by its ELF headers, and where the appended
// encrypted bytes begin.

#include "cipher/UniqueFd.h"
#include "image/ElfImage.h"
#include "stub/StubShared.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
