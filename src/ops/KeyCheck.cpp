// SPDX-License-Identifier: MIT
#include "ops/KeyCheck.h"

#include "cipher/UniqueFd.h"
#include "cipher/core/SecretBytes.h"
#include "cipher/core/Transform.h"
#include "judge/MagicKinds.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ops {

TKeyVerdict JudgeDecryption(const std::string& source, const std::string& target,
                            std::span<const uint8_t> key, uint64_t payloadStart) {
    if (key.empty())
        return TKeyVerdict::CannotTell;
    TUniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return TKeyVerdict::CannotTell;
    // The decrypted bytes are the file's own: wiped from memory when the look is over.
    TSecretBytes bytes(JudgedPrefix);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd.Get(), bytes.data() + got, bytes.size() - got,
                                  static_cast<off_t>(payloadStart + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    TTransformState state;
    TransformInit(state, key);
    DecryptBuffer(state, bytes.data(), bytes.data(), got);
    return JudgeDecrypted(std::span<const uint8_t>(bytes.data(), got), target,
                          &TMagicKinds::Shared());
}

bool IsShortKey(std::string_view utf8) {
    std::size_t characters = 0;
    for (const char c : utf8)
        if ((static_cast<uint8_t>(c) & 0xC0) != 0x80)
            ++characters;
    return characters < ShortKeyLength;
}

} // namespace ops
