#include "FileTransform.h"

#include <array>

// The hot loops of the file transform. Each step's walking index is moved by the data, so the
// speed is the latency of one step's dependency chain: no calls, no branches, tables only.

namespace {

// For each (feed, generator byte) pair: the low byte is what the mask adds to the chain-free
// part (the generator byte when either is prime, else gcd + generator byte), the high byte is
// 0xFF when the chain byte must be added. So the mask is lo + (chain & hi) with no branch.
struct TMaskTable {
    std::array<uint16_t, 65536> Entry;
    TMaskTable() {
        if (!PrimeTable[2])
            BuildPrimeTable();
        for (unsigned feed = 0; feed < 256; ++feed)
            for (unsigned g = 0; g < 256; ++g) {
                const auto f = static_cast<uint8_t>(feed);
                const auto gb = static_cast<uint8_t>(g);
                uint16_t e;
                if (IsPrime(f) || IsPrime(gb))
                    e = static_cast<uint16_t>(gb | 0xFF00);
                else
                    e = static_cast<uint8_t>(ByteGcd(f, gb) + gb);
                Entry[feed << 8 | g] = e;
            }
    }
};

const TMaskTable& MaskTable() {
    static const TMaskTable table;
    return table;
}

inline uint8_t Mask(const uint16_t* table, uint8_t feed, uint8_t g, uint8_t chain) {
    const uint16_t t = table[static_cast<unsigned>(feed) << 8 | g];
    return static_cast<uint8_t>(t + (chain & (t >> 8)));
}

} // namespace

void TransformInit(TTransformState& state, std::span<const uint8_t> keyBytes) {
    auto key = MakeCipherKey(keyBytes);
    CipherInit(state.Cipher, key);
    SecureWipe(key.data(), key.size());
    state.Feed = InitialFeed;
    state.Chain = InitialChain;
    (void)MaskTable();
}

void EncryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n) {
    const uint16_t* table = MaskTable().Entry.data();
    uint8_t* perm = state.Cipher.Perm.data();
    uint8_t i = state.Cipher.IndexI;
    uint8_t j = state.Cipher.IndexJ;
    uint8_t o = state.Cipher.OutIndex;
    uint8_t feed = state.Feed;
    uint8_t chain = state.Chain;
    for (std::size_t k = 0; k < n; ++k) {
        const uint8_t p = in[k];
        i = static_cast<uint8_t>(i + feed);
        const uint8_t pi = perm[i];
        j = static_cast<uint8_t>(j + pi);
        const uint8_t pj = perm[j];
        perm[i] = pj;
        perm[j] = pi;
        o = static_cast<uint8_t>(pi + pj);
        const uint8_t g = perm[o];
        const uint8_t e = static_cast<uint8_t>(Mask(table, feed, g, chain) ^ p);
        out[k] = e;
        feed = p;
        chain = e;
    }
    state.Cipher.IndexI = i;
    state.Cipher.IndexJ = j;
    state.Cipher.OutIndex = o;
    state.Feed = feed;
    state.Chain = chain;
}

void DecryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n) {
    const uint16_t* table = MaskTable().Entry.data();
    uint8_t* perm = state.Cipher.Perm.data();
    uint8_t i = state.Cipher.IndexI;
    uint8_t j = state.Cipher.IndexJ;
    uint8_t o = state.Cipher.OutIndex;
    uint8_t feed = state.Feed;
    uint8_t chain = state.Chain;
    for (std::size_t k = 0; k < n; ++k) {
        const uint8_t e = in[k];
        i = static_cast<uint8_t>(i + feed);
        const uint8_t pi = perm[i];
        j = static_cast<uint8_t>(j + pi);
        const uint8_t pj = perm[j];
        perm[i] = pj;
        perm[j] = pi;
        o = static_cast<uint8_t>(pi + pj);
        const uint8_t g = perm[o];
        const uint8_t p = static_cast<uint8_t>(Mask(table, feed, g, chain) ^ e);
        out[k] = p;
        feed = p;
        chain = e;
    }
    state.Cipher.IndexI = i;
    state.Cipher.IndexJ = j;
    state.Cipher.OutIndex = o;
    state.Feed = feed;
    state.Chain = chain;
}
