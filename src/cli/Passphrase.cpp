// SPDX-License-Identifier: MIT
#include "cli/Passphrase.h"

#include "errors/Errors.h"
#include "lang/Texts.h"

#include <cerrno>
#include <cstdint>
#include <sys/random.h>

// From the build: the word list, in its order.
extern const char* const EffWords[];
extern const uint32_t EffWordCount;

namespace {

uint32_t RandomWord() {
    uint32_t value = 0;
    for (;;) {
        const ssize_t n = ::getrandom(&value, sizeof value, 0);
        if (n == static_cast<ssize_t>(sizeof value))
            return value;
        if (n < 0 && errno != EINTR)
            throw Exception(Format(Translated("Cli", "cannot read the system's random source: %1"),
                                   {IOErrorText(errno)}));
    }
}

// Uniform over [0, n): values past the last whole multiple of n are drawn again, or the first
// words of the list would come up more often.
uint32_t RandomBelow(uint32_t n) {
    const uint32_t limit = UINT32_MAX - UINT32_MAX % n;
    for (;;) {
        const uint32_t v = RandomWord();
        if (v < limit)
            return v % n;
    }
}

} // namespace

std::string Passphrase(unsigned count) {
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        text += EffWords[RandomBelow(EffWordCount)];
    }
    return text;
}
