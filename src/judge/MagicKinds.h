// SPDX-License-Identifier: MIT
#pragma once
// The full kind database for the programs that can afford it (the window and calyxor-cli):
// libmagic names the kind of noise the built-in table does not know. libmagic also names kinds
// on marks of one or two bytes that random bytes carry by chance (about one sample in a
// hundred is a "DOS executable", one in a thousand "zlib"), so only kinds whose body is noise
// and whose mark is long count, and zlib only when its stream really inflates.

#include "judge/core/Judgement.h"

#include <mutex>

class TMagicKinds : public TKindOracle {
public:
    // The process's database, loaded on first use. Its answers are "" when the database
    // cannot be loaded: the built-in table then judges alone.
    [[nodiscard]] static const TMagicKinds& Shared();

    TMagicKinds();
    ~TMagicKinds() override;
    TMagicKinds(const TMagicKinds&) = delete;
    TMagicKinds& operator=(const TMagicKinds&) = delete;

    [[nodiscard]] std::string NoisyKind(std::span<const uint8_t> bytes) const override;

    // libmagic's MIME type for bytes, "" when the database is not loaded.
    [[nodiscard]] std::string MimeType(std::span<const uint8_t> bytes) const;

private:
    void* Cookie = nullptr; // magic_t; a cookie is not safe for two threads at once
    mutable std::mutex Lock;
};

// True for MIME types whose files have a body of noise behind a header libmagic reads with
// confidence. zlib is not among them: see TMagicKinds.
[[nodiscard]] bool IsNoisyMimeType(std::string_view mime);
