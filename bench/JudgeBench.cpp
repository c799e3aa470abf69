// SPDX-License-Identifier: MIT
// How well the wrong-key judgement tells, over a corpus of real files: each file's first bytes
// (all the judgement reads) are encrypted with one key, then decrypted with another key and
// with the right one, and both results are judged as the window and calyxor-cli judge them
// (with libmagic) and as the self-extracting modules do (the built-in table alone).
//
//   judge-bench FILE_LIST        one path per line; prints the table and the files misjudged
//   judge-bench --noise          the noise statistic's spread over random samples
//   judge-bench --spread FILE_LIST   per file: size, the statistics of the right and of a
//                                wrong key's result, and the kind the table finds
//
// Timing is of the judgement a program makes before writing: decrypting the first bytes in
// memory and judging them; reading the file is not counted.

#include "cipher/core/Cipher.h"
#include "cipher/core/Transform.h"
#include "judge/MagicKinds.h"
#include "judge/core/Judgement.h"
#include "judge/core/Kinds.h"
#include "judge/core/Noise.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Ms(TClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<uint8_t> Transform(const std::vector<uint8_t>& in, std::string_view key, bool encrypt) {
    std::vector<uint8_t> out(in.size());
    TTransformState state;
    TransformInit(state, std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    if (encrypt)
        EncryptBuffer(state, in.data(), out.data(), in.size());
    else
        DecryptBuffer(state, in.data(), out.data(), in.size());
    return out;
}

int NoiseSpread() {
    std::mt19937_64 random(20261210);
    std::printf("%8s %9s %9s %9s %9s   (both statistics pooled)\n", "bytes", "samples", "min",
                "max", "outside");
    for (const std::size_t n : {64, 128, 256, 1024, 4096, 65536}) {
        const int samples = n <= 4096 ? 200000 : 20000;
        std::vector<uint8_t> b(n);
        double lo = 1e9, hi = 0;
        int outside = 0;
        for (int s = 0; s < samples; ++s) {
            for (uint8_t& x : b)
                x = static_cast<uint8_t>(random());
            const TByteSpread spread = MeasureSpread(b);
            for (const double v : {spread.Values, spread.Steps}) {
                lo = std::min(lo, v), hi = std::max(hi, v);
                outside += v < NoiseLow || v > NoiseHigh;
            }
        }
        std::printf("%8zu %9d %9.1f %9.1f %9d\n", n, samples, lo, hi, outside);
    }
    return 0;
}

struct TTally {
    int Files = 0;
    int WrongCaught = 0, WrongSilent = 0,
        WrongPassed = 0;                   // wrong key: LooksWrong, CannotTell, LooksRight
    int RightFlagged = 0, RightSilent = 0; // right key: LooksWrong, CannotTell
    int StubWrongCaught = 0, StubRightFlagged = 0, Disagree = 0;
};

std::string SizeClass(std::size_t size) {
    if (size < 256)
        return "under 256 B";
    if (size < 4096)
        return "256 B to 4 KiB";
    return "4 KiB and more";
}

double Percent(int part, int whole) {
    return whole ? 100.0 * part / whole : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--noise")
        return NoiseSpread();
    if (argc == 3 && std::string(argv[1]) == "--spread") {
        BuildPrimeTable();
        std::ifstream list(argv[2]);
        std::string path;
        while (std::getline(list, path)) {
            std::ifstream in(path, std::ios::binary);
            std::vector<uint8_t> plain(JudgedPrefix);
            in.read(reinterpret_cast<char*>(plain.data()),
                    static_cast<std::streamsize>(plain.size()));
            plain.resize(static_cast<std::size_t>(in.gcount()));
            if (plain.size() < MinJudgedBytes)
                continue;
            const auto wrong =
                Transform(Transform(plain, "the right key", true), "a wrong key", false);
            const TByteSpread r = MeasureSpread(plain), w = MeasureSpread(wrong);
            const std::string_view kind = KindOf(plain);
            std::printf("%zu %.1f %.1f %.1f %.1f %s %s\n", plain.size(), r.Values, r.Steps,
                        w.Values, w.Steps, kind.empty() ? "-" : std::string(kind).c_str(),
                        path.c_str());
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE_LIST | --noise\n", argv[0]);
        return 2;
    }
    BuildPrimeTable();
    const auto loadStart = TClock::now();
    const TMagicKinds& magic = TMagicKinds::Shared();
    (void)magic.MimeType(std::vector<uint8_t>(64, 0));
    const double startup = Ms(TClock::now() - loadStart);

    std::ifstream list(argv[1]);
    std::map<std::string, TTally> bySize, byKind;
    TTally all, random;
    std::vector<double> times;
    std::vector<std::string> misjudged;
    std::string path;
    while (std::getline(list, path)) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            continue;
        in.seekg(0, std::ios::end);
        const auto size = static_cast<std::size_t>(in.tellg());
        in.seekg(0);
        std::vector<uint8_t> plain(std::min(size, JudgedPrefix));
        in.read(reinterpret_cast<char*>(plain.data()), static_cast<std::streamsize>(plain.size()));
        if (size == 0 || !in)
            continue;
        const std::string name = path.substr(path.find_last_of('/') + 1);
        std::string kind = magic.MimeType(plain);
        kind = kind.substr(0, kind.find('/')) + "/" +
               (kind.find("text") == 0 ? "*" : kind.substr(kind.find('/') + 1));

        const std::vector<uint8_t> encrypted = Transform(plain, "the right key", true);
        const auto t0 = TClock::now();
        const std::vector<uint8_t> right = Transform(encrypted, "the right key", false);
        const TKeyVerdict rightVerdict = JudgeDecrypted(right, name, &magic);
        times.push_back(Ms(TClock::now() - t0));
        const std::vector<uint8_t> wrong = Transform(encrypted, "a wrong key", false);
        const auto t1 = TClock::now();
        const TKeyVerdict wrongVerdict = JudgeDecrypted(wrong, name, &magic);
        times.push_back(Ms(TClock::now() - t1));
        const TKeyVerdict stubRight = JudgeDecrypted(right, name);
        const TKeyVerdict stubWrong = JudgeDecrypted(wrong, name);

        // Files of random content are noise with the right key as well: they count for how
        // often a wrong key is noticed, apart from the files a false alarm is counted on.
        const bool noise = path.find("/random-content/") != std::string::npos;
        std::vector<TTally*> tallies{&random};
        if (!noise)
            tallies = {&all, &bySize[SizeClass(size)], &byKind[kind]};
        for (TTally* t : tallies) {
            t->Files++;
            t->WrongCaught += wrongVerdict == TKeyVerdict::LooksWrong;
            t->WrongSilent += wrongVerdict == TKeyVerdict::CannotTell;
            t->WrongPassed += wrongVerdict == TKeyVerdict::LooksRight;
            t->RightFlagged += rightVerdict == TKeyVerdict::LooksWrong;
            t->RightSilent += rightVerdict == TKeyVerdict::CannotTell;
            t->StubWrongCaught += stubWrong == TKeyVerdict::LooksWrong;
            t->StubRightFlagged += stubRight == TKeyVerdict::LooksWrong;
            t->Disagree += (stubRight != rightVerdict) + (stubWrong != wrongVerdict);
        }
        if (noise && wrongVerdict == TKeyVerdict::LooksWrong && stubWrong == wrongVerdict)
            continue;
        if ((!noise && rightVerdict == TKeyVerdict::LooksWrong) || stubRight != rightVerdict ||
            (size >= 256 && wrongVerdict != TKeyVerdict::LooksWrong) || stubWrong != wrongVerdict)
            misjudged.push_back(
                std::string(rightVerdict == TKeyVerdict::LooksWrong ? "right key judged wrong"
                            : stubRight != rightVerdict || stubWrong != wrongVerdict
                                ? "modules disagree"
                                : "wrong key missed") +
                ": " + path + " (" + std::to_string(size) + " bytes, " + kind + ")");
    }

    auto row = [](const std::string& label, const TTally& t) {
        std::printf("%-34s %6d %9.2f %8.2f %9.2f %10.2f %9.2f %6d\n", label.c_str(), t.Files,
                    Percent(t.WrongCaught, t.Files), Percent(t.WrongSilent, t.Files),
                    Percent(t.RightFlagged, t.Files), Percent(t.StubWrongCaught, t.Files),
                    Percent(t.StubRightFlagged, t.Files), t.Disagree);
    };
    std::printf("%-34s %6s %9s %8s %9s %10s %9s %6s\n", "files", "count", "wrong%", "silent%",
                "falarm%", "stubwrong%", "stubfa%", "differ");
    row("all", all);
    for (const char* c : {"under 256 B", "256 B to 4 KiB", "4 KiB and more"})
        if (bySize.count(c))
            row(c, bySize[c]);
    row("random content (no key can tell)", random);
    std::printf("\nby kind (libmagic):\n");
    for (const auto& [kind, t] : byKind)
        row(kind, t);

    std::sort(times.begin(), times.end());
    const double mean = times.empty() ? 0 : [&] {
        double s = 0;
        for (double v : times)
            s += v;
        return s / static_cast<double>(times.size());
    }();
    std::printf("\njudgement per file (decrypting the first bytes and judging them): median %.3f "
                "ms, mean %.3f ms, max %.3f ms; start-up %.1f ms\n",
                times.empty() ? 0 : times[times.size() / 2], mean, times.empty() ? 0 : times.back(),
                startup);
    const TTally& big = bySize["4 KiB and more"];
    const int mid = big.Files + bySize["256 B to 4 KiB"].Files;
    const int midCaught = big.WrongCaught + bySize["256 B to 4 KiB"].WrongCaught;
    std::printf("aims: wrong keys noticed >= 99.9 %% from 4 KiB: %.2f %%; >= 99 %% from 256 B: "
                "%.2f %%; right keys judged wrong <= 0.1 %%: %.2f %% (%d files)\n",
                Percent(big.WrongCaught, big.Files), Percent(midCaught, mid),
                Percent(all.RightFlagged, all.Files), all.RightFlagged);
    std::printf("\nmisjudged (%zu):\n", misjudged.size());
    for (const std::string& m : misjudged)
        std::printf("  %s\n", m.c_str());
    return 0;
}
