// SPDX-License-Identifier: MIT
#pragma once
// What a wrong key leaves behind. Decrypting with any other key than the one that encrypted
// turns the bytes into near noise: close to flat over the 256 values and with little pattern
// from one byte to the next. Almost every file people keep is far from that, except where its
// body is compressed or encrypted, and those carry a header saying so.

#include <cstddef>
#include <cstdint>
#include <span>

// Pearson's statistic of the byte counts and of the steps between neighbouring bytes, against
// the flat distribution. For noise both lie near 255 (their degrees of freedom) whatever the
// length; text, programs, pictures in the raw and databases give thousands.
struct TByteSpread {
    double Values = 0;
    double Steps = 0;
};

[[nodiscard]] TByteSpread MeasureSpread(std::span<const uint8_t> bytes);

// Fewer bytes than this and the statistic says too little either way.
inline constexpr std::size_t MinJudgedBytes = 64;

// The band noise falls in. Over 200,000 random samples of each length from 64 bytes to 4 KiB
// and 20,000 of 64 KiB (judge_bench --noise), either statistic ranged from 162 to 416, and
// only 5 values of 2.4 million fell outside [120, 400], all at 64 bytes. Compressed bodies
// (deflate, woff2) come in at 240 to 360, which is why a header must speak for them.
inline constexpr double NoiseLow = 120;
inline constexpr double NoiseHigh = 400;

// A wrong key does not quite reach noise where the file holds long runs of one byte: the
// generator's walk stands still over zeros, and some of that survives into the wrong key's
// result, growing with the length. The worst measured is a file of zeros, 0.085 per byte (5,600
// at 64 KiB); across 5,500 files of every kind (bench/judge-bench.sh) no file of the right key
// without a header came within 0.43 per byte. The band's top grows by this much per byte.
inline constexpr double NoiseLeakPerByte = 0.15;

// True when bytes (at least MinJudgedBytes) fall in the band on both counts.
[[nodiscard]] bool LooksLikeNoise(std::span<const uint8_t> bytes);
