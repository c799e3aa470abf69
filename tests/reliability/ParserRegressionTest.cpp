// SPDX-License-Identifier: MIT
// Replays the fuzzers' seed inputs and every input a fuzzer once stopped on (kept under
// fuzz/regressions/<target>/) through the same rules the fuzzers check, in the ordinary build.

#include "fuzz/FuzzChecks.h"
#include "fuzz/Seeds.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using TCheck = std::string (*)(const uint8_t*, std::size_t);

void Replay(TCheck check, const std::vector<TSeed>& seeds, const std::string& target) {
    std::vector<TSeed> inputs = seeds;
    const fs::path kept = fs::path(CALYXOR_SOURCE_DIR) / "fuzz/regressions" / target;
    if (fs::is_directory(kept))
        for (const auto& entry : fs::directory_iterator(kept))
            inputs.push_back({entry.path().filename().string(), ReadSeedFile(entry.path())});
    for (const auto& in : inputs)
        EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(in.Bytes.data()), in.Bytes.size()), "")
            << target << " input " << in.Name;
}

TEST(ParserRegressionTest, settings_seedsAndKeptFindingsKeepEveryRule) {
    Replay(CheckSettings, SettingsSeeds(), "settings");
}

TEST(ParserRegressionTest, skin_seedsAndKeptFindingsKeepEveryRule) {
    Replay(CheckSkin, SkinSeeds(CALYXOR_SOURCE_DIR), "skin");
}

TEST(ParserRegressionTest, decryptName_seedsAndKeptFindingsKeepEveryRule) {
    Replay(CheckDecryptName, DecryptNameSeeds(), "decrypt_name");
}

} // namespace
