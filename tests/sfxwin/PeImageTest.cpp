// SPDX-License-Identifier: MIT
// Where the Windows module's image ends, measured on the module the build made: the payload of
// every self-extracting file for Windows starts there, so one byte off loses the whole file.

#include "sfxwin/PeImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const std::string WindowsModule = CALYXOR_BUILD_DIR "/SFX/windows.sfx";

bool ImageEnd(const std::vector<uint8_t>& file, uint64_t& end, std::string* why = nullptr) {
    const auto read = [&file](uint64_t at, void* buf, std::size_t n) {
        if (at > file.size() || n > file.size() - at)
            return false;
        std::memcpy(buf, file.data() + at, n);
        return true;
    };
    std::string error;
    const bool ok = PeImageEnd(read, file.size(), end, error);
    if (why != nullptr)
        *why = error;
    return ok;
}

uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}
void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void Append(std::vector<uint8_t>& b, const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// Offsets of the COFF header and the data directories of the module (a PE32+ image).
std::size_t Coff(const std::vector<uint8_t>& b) {
    return Get32(b, 0x3C) + 4;
}
std::size_t SecurityEntry(const std::vector<uint8_t>& b) {
    return Coff(b) + 20 + 112 + 4 * 8;
}

TEST(PeImageTest, builtModule_endsAtItsFileSize_alsoWithAPayloadAppended) {
    auto file = ReadAll(WindowsModule);
    ASSERT_GT(file.size(), 4096u);
    uint64_t end = 0;
    std::string why;
    ASSERT_TRUE(ImageEnd(file, end, &why)) << why;
    EXPECT_EQ(end, file.size());
    const auto size = file.size();
    // A payload that starts like a PE file must not be taken for part of the image.
    Append(file, std::vector<uint8_t>(file.begin(), file.begin() + 1024));
    Append(file, RandomBytes(70001, 1));
    ASSERT_TRUE(ImageEnd(file, end));
    EXPECT_EQ(end, size);
}

// An unstripped MinGW link keeps a COFF symbol table, and signing appends a certificate table,
// both after the last section: a payload starts after them, not at the sections' end.
TEST(PeImageTest, symbolAndCertificateTables_belongToTheImage) {
    const auto module = ReadAll(WindowsModule);
    const auto size = static_cast<uint32_t>(module.size());

    auto withSymbols = module;
    Put32(withSymbols, Coff(withSymbols) + 8, size); // PointerToSymbolTable
    Put32(withSymbols, Coff(withSymbols) + 12, 3);   // NumberOfSymbols, 18 bytes each
    Append(withSymbols, RandomBytes(3 * 18, 2));
    std::vector<uint8_t> strings(4 + 9, 'x');
    Put32(strings, 0, static_cast<uint32_t>(strings.size())); // the length counts itself
    Append(withSymbols, strings);
    const auto symbolsEnd = withSymbols.size();

    auto signedFile = module;
    Put32(signedFile, SecurityEntry(signedFile), size);
    Put32(signedFile, SecurityEntry(signedFile) + 4, 1536);
    Append(signedFile, RandomBytes(1536, 3));
    const auto signedEnd = signedFile.size();

    for (auto* file : {&withSymbols, &signedFile}) {
        const uint64_t want = file == &withSymbols ? symbolsEnd : signedEnd;
        Append(*file, RandomBytes(5000, 4));
        uint64_t end = 0;
        std::string why;
        ASSERT_TRUE(ImageEnd(*file, end, &why)) << why;
        EXPECT_EQ(end, want);
    }
}

// A file whose headers point past its end was cut short: a payload found in it would start at
// a guess, so the module refuses it instead of restoring wrong bytes.
TEST(PeImageTest, foreignOrCutFiles_areRefused) {
    const auto module = ReadAll(WindowsModule);
    uint64_t end = 0;
    std::string why;
    EXPECT_FALSE(ImageEnd(RandomBytes(5000, 5), end, &why));
    EXPECT_NE(why.find("not a Windows program"), std::string::npos) << why;
    EXPECT_FALSE(ImageEnd(ReadAll(CALYXOR_BUILD_DIR "/SFX/default.sfx"), end));

    for (std::size_t keep : {std::size_t{0x3C}, std::size_t{200}, module.size() - 1}) {
        const std::vector<uint8_t> cut(module.begin(), module.begin() + keep);
        EXPECT_FALSE(ImageEnd(cut, end)) << keep;
    }
    auto badSignature = module;
    Put32(badSignature, SecurityEntry(badSignature), static_cast<uint32_t>(module.size()));
    Put32(badSignature, SecurityEntry(badSignature) + 4, 4096);
    EXPECT_FALSE(ImageEnd(badSignature, end, &why));
    EXPECT_NE(why.find("damaged"), std::string::npos) << why;
}

} // namespace
