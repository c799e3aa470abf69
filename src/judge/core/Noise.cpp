// SPDX-License-Identifier: MIT
#include "judge/core/Noise.h"

#include <array>

namespace {

double Pearson(const std::array<uint32_t, 256>& counts, std::size_t n) {
    // sum((c - e)^2 / e) with e = n / 256, written as 256/n * sum(c^2) - n.
    double squares = 0;
    for (const uint32_t c : counts)
        squares += static_cast<double>(c) * c;
    return squares * 256.0 / static_cast<double>(n) - static_cast<double>(n);
}

} // namespace

TByteSpread MeasureSpread(std::span<const uint8_t> bytes) {
    TByteSpread spread;
    if (bytes.size() < 2)
        return spread;
    std::array<uint32_t, 256> values{};
    std::array<uint32_t, 256> steps{};
    values[bytes[0]]++;
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        values[bytes[i]]++;
        steps[static_cast<uint8_t>(bytes[i] - bytes[i - 1])]++;
    }
    spread.Values = Pearson(values, bytes.size());
    spread.Steps = Pearson(steps, bytes.size() - 1);
    return spread;
}

bool LooksLikeNoise(std::span<const uint8_t> bytes) {
    if (bytes.size() < MinJudgedBytes)
        return false;
    const TByteSpread s = MeasureSpread(bytes);
    const double high = NoiseHigh + NoiseLeakPerByte * static_cast<double>(bytes.size());
    auto inBand = [high](double x) { return x >= NoiseLow && x <= high; };
    return inBand(s.Values) && inBand(s.Steps);
}
