// SPDX-License-Identifier: MIT
#include "cipher/core/Transform.h"

#include <cstdint>
#include <cstring>

// The hot loops of the file transform. Each step's walking index is moved by the data, so the
// speed is the latency of one step's dependency chain: no calls, no unpredictable branches,
// tables only, and as little arithmetic as possible between one load and the next.
//
// Decryption is the long chain: the next feed byte is the byte just decrypted, so every step
// waits for the previous one through four dependent loads (Perm[i], Perm[j], Perm[i]+Perm[j],
// the mask table). Encryption's feed bytes are known in advance; only the chain byte and the
// index j run from step to step there, and it is limited by throughput much as plain RC4 is.

#if defined(__GNUC__) && !defined(CALYXOR_PORTABLE_TRANSFORM)
// Keeps a pointer in a register of its own, so that the load after it can use it as its base
// with the index added for free by the address unit instead of by an instruction on the chain.
#define CALYXOR_IN_REGISTER(x) asm("" : "+r"(x))
#define CALYXOR_PREFETCH(p) __builtin_prefetch(p)
#else
#define CALYXOR_IN_REGISTER(x) (void)0
#define CALYXOR_PREFETCH(p) (void)0
#endif

namespace {

// Two forms of the same mask table, one for each direction, built together on first use.
//
// Encryption's loop is limited by how many instructions and loads a step takes, not by a
// chain, and its rows are known long before they are read: there one 16-bit entry per
// (feed, g) pair serves, low byte the chain-free part (gcd(feed, g) + g, or g where either
// byte is prime), high byte 0xFF exactly where the chain byte is added. The mask is then
// lo + (chain & hi), one load and no branch.
//
// Decryption waits on the table every step, so there it must hit the first-level cache as often
// as possible: the same low bytes as a 64 KiB byte table, and the flags apart in 512 hot bytes.
// Their rows are shared: a prime feed byte takes the all-0xFF row, any other feed byte the row
// of prime flags of g.
struct alignas(64) TMaskTables {
    uint16_t Entry[256 * 256];
    uint8_t GcdPlus[256 * 256];
    uint8_t Flags[2 * 256];
    uint16_t FlagRow[256]; // offset into Flags of the row for each feed byte

    TMaskTables() {
        if (!PrimeTable[2])
            BuildPrimeTable();
        for (unsigned g = 0; g < 256; ++g) {
            Flags[g] = IsPrime(static_cast<uint8_t>(g)) ? 0xFF : 0;
            Flags[256 + g] = 0xFF;
        }
        for (unsigned feed = 0; feed < 256; ++feed) {
            const auto f = static_cast<uint8_t>(feed);
            FlagRow[feed] = IsPrime(f) ? 256 : 0;
            for (unsigned g = 0; g < 256; ++g) {
                const auto gb = static_cast<uint8_t>(g);
                const bool withChain = IsPrime(f) || IsPrime(gb);
                GcdPlus[feed << 8 | g] = withChain ? gb : static_cast<uint8_t>(ByteGcd(f, gb) + gb);
                Entry[feed << 8 | g] =
                    static_cast<uint16_t>(GcdPlus[feed << 8 | g] | (withChain ? 0xFF00 : 0));
            }
        }
    }
};

const TMaskTables& MaskTables() {
    static const TMaskTables tables;
    return tables;
}

// Gives withChain where flag is non-zero, else tableByte ^ e, without a branch: the flag follows
// the data and a mispredicted branch would cost more than the whole step. Compilers turn the
// plain form into a branch here, and narrow the xor to a byte that must then be widened again
// on the chain, so on x86-64 the three instructions are written out.
inline unsigned MaskedByte(unsigned flag, unsigned withChain, unsigned tableByte, unsigned e) {
#if defined(__GNUC__) && defined(__x86_64__) && !defined(CALYXOR_PORTABLE_TRANSFORM)
    asm("xor %3, %0\n\ttest %1, %1\n\tcmovnz %2, %0"
        : "+&r"(tableByte)
        : "r"(flag), "r"(withChain), "r"(e)
        : "cc");
    return tableByte;
#else
    return flag ? withChain : tableByte ^ e;
#endif
}

// The permutation twice over, so that Perm[(x + y) mod 256] is Twice[x + y] for any two
// bytes: the wrap costs no instruction on the chain, only two more stores per exchange. It
// lives in the state's wiped scratch, aligned to a cache line.
constexpr std::size_t TwiceSize = 512;
constexpr std::uintptr_t LineSize = 64;

uint8_t* DoubledPerm(TTransformState& state) {
    if (state.Scratch.size() < TwiceSize + LineSize)
        state.Scratch = TSecretBytes(TwiceSize + LineSize);
    const auto at = reinterpret_cast<std::uintptr_t>(state.Scratch.data());
    auto* twice = reinterpret_cast<uint8_t*>((at + LineSize - 1) & ~(LineSize - 1));
    std::memcpy(twice, state.Cipher.Perm.data(), 256);
    std::memcpy(twice + 256, state.Cipher.Perm.data(), 256);
    return twice;
}

} // namespace

void TransformInit(TTransformState& state, std::span<const uint8_t> keyBytes) {
    CipherInit(state.Cipher, MakeCipherKey(keyBytes));
    if (state.Scratch.size() < TwiceSize + LineSize)
        state.Scratch = TSecretBytes(TwiceSize + LineSize);
    state.Feed = InitialFeed;
    state.Chain = InitialChain;
    (void)MaskTables();
}

void EncryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n) {
    const uint16_t* table = MaskTables().Entry;
    uint8_t* perm = state.Cipher.Perm.data();
    unsigned i = state.Cipher.IndexI;
    unsigned j = state.Cipher.IndexJ;
    unsigned o = state.Cipher.OutIndex;
    unsigned feed = state.Feed;
    // Only the low byte of the chain matters: the flag (0 or 0xFF) cuts the rest away where it
    // is used, so the step-to-step path through it is and, add, xor and nothing more.
    unsigned chain = state.Chain;
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned p = in[k];
        // The row depends on the feed byte only, known long before the step needs it.
        const uint16_t* row = table + (feed << 8);
        i = (i + feed) & 255;
        const unsigned a = perm[i];
        j = (j + a) & 255;
        const unsigned b = perm[j];
        // Stored in this order, i == j leaves the byte where it was.
        perm[i] = static_cast<uint8_t>(b);
        perm[j] = static_cast<uint8_t>(a);
        o = (a + b) & 255;
        const unsigned t = row[perm[o]];
        const unsigned e = (t + (chain & (t >> 8))) ^ p;
        out[k] = static_cast<uint8_t>(e);
        feed = p;
        chain = e;
    }
    state.Cipher.IndexI = static_cast<uint8_t>(i);
    state.Cipher.IndexJ = static_cast<uint8_t>(j);
    state.Cipher.OutIndex = static_cast<uint8_t>(o);
    state.Feed = static_cast<uint8_t>(feed);
    state.Chain = static_cast<uint8_t>(chain);
}

void DecryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n) {
    if (n == 0)
        return;
    const TMaskTables& tables = MaskTables();
    const uint8_t* gcdPlus = tables.GcdPlus;
    const uint8_t* flags = tables.Flags;
    const uint16_t* flagRow = tables.FlagRow;
    CALYXOR_IN_REGISTER(gcdPlus);
    CALYXOR_IN_REGISTER(flags);
    uint8_t* twice = DoubledPerm(state);
    CALYXOR_IN_REGISTER(twice);
    // Pointers to Perm[i] and Perm[j]: the next load is base + byte, nothing to add first.
    uint8_t* atI = twice + state.Cipher.IndexI;
    uint8_t* atJ = twice + state.Cipher.IndexJ;
    unsigned feed = state.Feed;
    unsigned chain = state.Chain;
    unsigned lastSum = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned e = in[k];
        const uint8_t* maskRow = gcdPlus + (feed << 8);
        const uint8_t* flagsRow = flags + flagRow[feed];
        // The row is known a whole step before it is read; fetching its four lines now hides
        // most of the second-level cache's latency, which would otherwise sit on the chain.
        CALYXOR_PREFETCH(maskRow);
        CALYXOR_PREFETCH(maskRow + 64);
        CALYXOR_PREFETCH(maskRow + 128);
        CALYXOR_PREFETCH(maskRow + 192);
        unsigned a = atI[feed];
        // Used as the next load's index as it is, not narrowed to a byte and widened again.
        CALYXOR_IN_REGISTER(a);
        atI = twice + ((atI - twice + feed) & 255);
        const unsigned b = atJ[a];
        atJ = twice + ((atJ - twice + a) & 255);
        // Stored in this order, i == j leaves the byte where it was.
        atI[0] = static_cast<uint8_t>(b);
        atI[256] = static_cast<uint8_t>(b);
        atJ[0] = static_cast<uint8_t>(a);
        atJ[256] = static_cast<uint8_t>(a);
        const uint8_t* atA = twice + a;
        CALYXOR_IN_REGISTER(atA);
        const unsigned g = atA[b];
        // Where the chain byte is added the mask is g + chain, which is ready as soon as g is;
        // only the table's byte, one xor and the select remain on the chain.
        const unsigned withChain = ((g + chain) ^ e) & 255;
        const unsigned p = MaskedByte(flagsRow[g], withChain, maskRow[g], e);
        out[k] = static_cast<uint8_t>(p);
        feed = p;
        chain = e;
        lastSum = a + b;
    }
    std::memcpy(state.Cipher.Perm.data(), twice, 256);
    state.Cipher.IndexI = static_cast<uint8_t>(atI - twice);
    state.Cipher.IndexJ = static_cast<uint8_t>(atJ - twice);
    state.Cipher.OutIndex = static_cast<uint8_t>(lastSum);
    state.Feed = static_cast<uint8_t>(feed);
    state.Chain = static_cast<uint8_t>(chain);
}
