// SPDX-License-Identifier: MIT
// Speed of the byte transform in both directions, beside a textbook RC4 loop and memcpy over
// the same buffer in the same run, so that the ratios hold however busy the machine is.
//
//   calyxor_bench [--size_mib=N] [Google Benchmark flags]
//
// After the usual table it prints the medians and their ratios, and one line starting with
// "summary:" that scripts read (MB/s are 10^6 bytes per second of CPU time; real time beside).

#include "Rc4.h"
#include "cipher/FileTransform.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::size_t gSize = std::size_t{64} << 20;
const std::vector<uint8_t> gKey = {'b', 'e', 'n', 'c', 'h', ' ', 'k', 'e', 'y'};

// splitmix64: fast, and the same bytes on every machine.
std::vector<uint8_t> RandomData(std::size_t n) {
    std::vector<uint8_t> out(n);
    uint64_t s = 0x9E3779B97F4A7C15u;
    for (std::size_t k = 0; k < n; k += 8) {
        uint64_t z = (s += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        std::memcpy(out.data() + k, &z, std::min<std::size_t>(8, n - k));
    }
    return out;
}

struct TBuffers {
    std::vector<uint8_t> Plain;
    std::vector<uint8_t> Cipher;
    std::vector<uint8_t> Out;
};

TBuffers& Buffers() {
    static TBuffers b = [] {
        TBuffers r;
        r.Plain = RandomData(gSize);
        r.Cipher.resize(gSize);
        r.Out.resize(gSize);
        TTransformState st;
        TransformInit(st, gKey);
        EncryptBuffer(st, r.Plain.data(), r.Cipher.data(), gSize);
        return r;
    }();
    return b;
}

void BM_Encrypt(benchmark::State& state) {
    auto& b = Buffers();
    for (auto _ : state) {
        TTransformState st;
        TransformInit(st, gKey);
        EncryptBuffer(st, b.Plain.data(), b.Out.data(), gSize);
        benchmark::DoNotOptimize(b.Out.data());
        benchmark::ClobberMemory();
    }
    if (b.Out != b.Cipher)
        state.SkipWithError("encryption differs from the first run");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gSize));
}

void BM_Decrypt(benchmark::State& state) {
    auto& b = Buffers();
    for (auto _ : state) {
        TTransformState st;
        TransformInit(st, gKey);
        DecryptBuffer(st, b.Cipher.data(), b.Out.data(), gSize);
        benchmark::DoNotOptimize(b.Out.data());
        benchmark::ClobberMemory();
    }
    if (b.Out != b.Plain)
        state.SkipWithError("decryption did not give the data back");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gSize));
}

void BM_Rc4(benchmark::State& state) {
    auto& b = Buffers();
    for (auto _ : state) {
        TRc4(gKey).Run(b.Plain.data(), b.Out.data(), gSize);
        benchmark::DoNotOptimize(b.Out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gSize));
}

void BM_Memcpy(benchmark::State& state) {
    auto& b = Buffers();
    for (auto _ : state) {
        std::memcpy(b.Out.data(), b.Plain.data(), gSize);
        benchmark::DoNotOptimize(b.Out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gSize));
}

BENCHMARK(BM_Encrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rc4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// Shows the usual table and keeps every measured run, for the medians at the end.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    struct TRates {
        std::vector<double> Cpu;
        std::vector<double> Real;
    };
    std::map<std::string, TRates> Rates;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // Single runs when they are shown; otherwise, with aggregates only, their median.
            const bool single = run.run_type == Run::RT_Iteration && run.iterations > 0;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!single && !median)
                continue;
            // Seconds per iteration, whichever kind of run this is.
            const double perUnit = 1.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto& r = (single ? Rates : MedianRates)[run.run_name.function_name];
            r.Cpu.push_back(static_cast<double>(gSize) / (run.GetAdjustedCPUTime() * perUnit) /
                            1e6);
            r.Real.push_back(static_cast<double>(gSize) / (run.GetAdjustedRealTime() * perUnit) /
                             1e6);
        }
    }

    const TRates* Find(const std::string& name) const {
        auto it = Rates.find(name);
        if (it != Rates.end())
            return &it->second;
        it = MedianRates.find(name);
        return it == MedianRates.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, TRates> MedianRates;
};

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void PrintSummary(const TSummaryReporter& reporter) {
    auto cpu = [&](const char* name) {
        const auto* r = reporter.Find(name);
        return r ? Median(r->Cpu) : 0.0;
    };
    auto real = [&](const char* name) {
        const auto* r = reporter.Find(name);
        return r ? Median(r->Real) : 0.0;
    };
    const double enc = cpu("BM_Encrypt"), dec = cpu("BM_Decrypt"), rc4 = cpu("BM_Rc4");
    const double mem = cpu("BM_Memcpy");
    std::printf("\nMedians over %zu MiB (MB/s of CPU time):\n", gSize >> 20);
    std::printf("  encrypt %9.1f", enc);
    if (rc4 > 0)
        std::printf("   %.2f x RC4 (aim: at least 0.80)", enc / rc4);
    std::printf("\n  decrypt %9.1f", dec);
    if (rc4 > 0)
        std::printf("   %.2f x RC4 (aim: at least 0.37)", dec / rc4);
    std::printf("\n  rc4     %9.1f\n  memcpy  %9.1f\n", rc4, mem);
    std::printf("summary: size_mib=%zu enc=%.1f dec=%.1f rc4=%.1f memcpy=%.1f enc_real=%.1f "
                "dec_real=%.1f rc4_real=%.1f memcpy_real=%.1f\n",
                gSize >> 20, enc, dec, rc4, mem, real("BM_Encrypt"), real("BM_Decrypt"),
                real("BM_Rc4"), real("BM_Memcpy"));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int k = 0; k < argc; ++k) {
        const std::string a = argv[k];
        if (a.rfind("--size_mib=", 0) == 0) {
            const long mib = std::strtol(a.c_str() + 11, nullptr, 10);
            if (mib <= 0) {
                std::fprintf(stderr, "--size_mib wants a positive number of MiB\n");
                return 2;
            }
            gSize = static_cast<std::size_t>(mib) << 20;
        } else {
            args.push_back(argv[k]);
        }
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 2;
    BuildPrimeTable();
    (void)Buffers();
    TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
