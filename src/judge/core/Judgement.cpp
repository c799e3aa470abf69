// SPDX-License-Identifier: MIT
#include "judge/core/Judgement.h"

#include "judge/core/Kinds.h"
#include "judge/core/Noise.h"

#include <algorithm>

namespace {

// True when bytes read as text: valid UTF-8 without control characters other than the
// layout ones. Random bytes almost never do (a 16-byte run of them passes about once in 10^5).
bool ReadsAsText(std::span<const uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t c = bytes[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
                return false;
            if (c == 0x7F)
                return false;
            ++i;
            continue;
        }
        const std::size_t more = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
        if (more == 0 || c > 0xF4)
            return false;
        for (std::size_t k = 1; k <= more; ++k)
            if (i + k < bytes.size() && (bytes[i + k] & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

// A header the table does not know: files whose body is noise (keys, signatures, checksums,
// containers of tools the table lacks) still begin with fields, and fields are full of zero
// bytes and of names. Five zeros among the first 32 bytes come by chance less than once in a
// million (no wrong key's result of 12,000 had more than three), and 16 printable characters
// from the start about once in 10^7 (none had more than seven).
bool HasHeader(std::span<const uint8_t> bytes) {
    const std::size_t head = std::min<std::size_t>(bytes.size(), 32);
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < head; ++i)
        zeros += bytes[i] == 0;
    std::size_t printable = 0;
    while (printable < bytes.size() && bytes[printable] >= 0x20 && bytes[printable] < 0x7F)
        ++printable;
    return zeros >= 5 || printable >= 16;
}

} // namespace

TKeyVerdict JudgeDecrypted(std::span<const uint8_t> first, std::string_view fileName,
                           const TKindOracle* oracle) {
    if (first.size() > JudgedPrefix)
        first = first.first(JudgedPrefix);
    if (NameAnnouncesNoise(fileName) || first.size() < MinNamedBytes)
        return TKeyVerdict::CannotTell;
    if (!KindOf(first).empty())
        return TKeyVerdict::LooksRight;
    // A name that promises a kind with a header is evidence of its own: the header is missing,
    // and random bytes rarely read as text, which is what a misnamed small file usually is.
    const bool promised = !KindNamedBy(fileName).empty();
    if (first.size() < MinJudgedBytes)
        return promised && !ReadsAsText(first) ? TKeyVerdict::LooksWrong : TKeyVerdict::CannotTell;
    if (!LooksLikeNoise(first))
        return TKeyVerdict::LooksRight;
    // Noise. Only a kind whose body is noise explains it, and not one the name contradicts.
    if (!promised && HasHeader(first))
        return TKeyVerdict::LooksRight;
    if (oracle && !promised && !oracle->NoisyKind(first).empty())
        return TKeyVerdict::LooksRight;
    return TKeyVerdict::LooksWrong;
}
