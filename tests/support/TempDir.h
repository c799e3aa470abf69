// SPDX-License-Identifier: MIT
#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

class TTempDir {
public:
    TTempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "calyxor-test-XXXXXX").string();
        Path = ::mkdtemp(tmpl.data());
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    [[nodiscard]] std::string operator/(const std::string& name) const { return Path + "/" + name; }
    // The names in the folder, sorted: what a failed run left behind shows in one comparison.
    [[nodiscard]] std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Path;
};

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// Text of n bytes, lines of words picked by seed: content of a kind, as a user's document is.
// A decryption of random bytes looks like a wrong key's, which the programs refuse to write.
inline std::vector<uint8_t> DocumentBytes(std::size_t n, uint32_t seed) {
    static const char* const Words[] = {"key",   "file",  "report", "шифр",   "ключ", "data",
                                        "alpha", "omega", "1987",   "line\n", "the",  "of"};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    v.reserve(n + 16);
    while (v.size() < n) {
        const std::string_view w = Words[rng() % std::size(Words)];
        v.insert(v.end(), w.begin(), w.end());
        v.push_back(' ');
    }
    v.resize(n);
    return v;
}

inline std::vector<uint8_t> RandomBytes(std::size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}
