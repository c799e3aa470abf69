// SPDX-License-Identifier: MIT
// Writes the fuzzers' starting inputs into one folder per target:
//   calyxor-fuzz-seeds SOURCE_DIR OUT_DIR
// The 1 MB line is kept whole here; the fuzzers cut inputs to their own length limit.

#include "fuzz/PictureSeeds.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: calyxor-fuzz-seeds SOURCE_DIR OUT_DIR\n");
        return 2;
    }
    const std::string out = argv[2];
    std::vector<std::pair<std::string, std::vector<TSeed>>> sets = {
        {"settings", SettingsSeeds()},
        {"skin", SkinSeeds(argv[1])},
        {"decrypt_name", DecryptNameSeeds()},
    };
    for (const TPictureTarget& picture : kPictureTargets)
        sets.emplace_back(picture.Name, PictureSeeds(argv[1], picture.Name));
    for (const auto& [target, seeds] : sets) {
        fs::create_directories(out + "/" + target);
        for (const auto& seed : seeds) {
            std::ofstream f(out + "/" + target + "/" + seed.Name, std::ios::binary);
            f.write(seed.Bytes.data(), static_cast<std::streamsize>(seed.Bytes.size()));
        }
    }
    return 0;
}
