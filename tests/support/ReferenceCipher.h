// SPDX-License-Identifier: MIT
#pragma once
// A second, deliberately plain implementation of the generator and the byte transform,
// written straight from the algorithm's description: textbook loops, primes by trial
// division, gcd by Euclid. The optimised engine must agree with it byte for byte.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ref {

struct Generator {
    uint8_t k[256];
    uint8_t s[256];
    uint8_t i = 0, j = 0;

    explicit Generator(const std::vector<uint8_t>& keyText) {
        std::size_t len = keyText.size() > 255 ? 255 : keyText.size();
        for (std::size_t n = 0; n < 256; ++n)
            k[n] = n < len ? keyText[n] : static_cast<uint8_t>(k[n - len] + k[n - 1]);
        for (int n = 0; n < 256; ++n)
            s[n] = static_cast<uint8_t>(n);
        int jj = 0;
        for (int n = 0; n < 256; ++n) {
            jj = ((jj + k[n] + s[n]) % 256) ^ static_cast<int>(len);
            std::swap(s[n], s[jj]);
        }
    }

    uint8_t next(uint8_t feed) {
        i = static_cast<uint8_t>((i + feed) % 256);
        j = static_cast<uint8_t>((j + s[i]) % 256);
        std::swap(s[i], s[j]);
        return s[(s[i] + s[j]) % 256];
    }
};

inline bool prime(int n) {
    if (n < 2)
        return false;
    for (int d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

inline int gcd(int a, int b) {
    while (b != 0) {
        int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

inline std::vector<uint8_t> transform(const std::vector<uint8_t>& key,
                                      const std::vector<uint8_t>& data, bool encrypt) {
    Generator g(key);
    uint8_t feed = 144, chain = 15;
    std::vector<uint8_t> out(data.size());
    for (std::size_t n = 0; n < data.size(); ++n) {
        uint8_t G = g.next(feed);
        int mask = (prime(feed) || prime(G)) ? (G + chain) % 256 : (gcd(feed, G) + G) % 256;
        uint8_t in = data[n];
        uint8_t res = static_cast<uint8_t>(mask ^ in);
        uint8_t plain = encrypt ? in : res;
        uint8_t cipher = encrypt ? res : in;
        out[n] = res;
        feed = plain;
        chain = cipher;
    }
    return out;
}

} // namespace ref
