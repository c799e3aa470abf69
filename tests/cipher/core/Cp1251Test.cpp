// SPDX-License-Identifier: MIT
#include "cipher/core/Cp1251.h"
#include "errors/Errors.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace {

// glibc's own CP1251 converter is the independent check of the table.
TEST(Cp1251Test, tableAgreesWithTheSystemConverter) {
    iconv_t cd = iconv_open("UTF-32LE", "CP1251");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 0x80; b < 0x100; ++b) {
        char in = static_cast<char>(b);
        char32_t out = 0;
        char* pin = &in;
        char* pout = reinterpret_cast<char*>(&out);
        size_t inLeft = 1, outLeft = sizeof out;
        const size_t r = iconv(cd, &pin, &inLeft, &pout, &outLeft);
        if (r == static_cast<size_t>(-1))
            EXPECT_EQ(Cp1251High[b - 0x80], 0u) << std::hex << b;
        else
            EXPECT_EQ(Cp1251High[b - 0x80], out) << std::hex << b;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
}

TEST(Cp1251Test, encodesAsciiAndCyrillicToSingleBytes_andBack) {
    const std::string text = "abcЖz1 Ёё№";
    const auto bytes = EncodeCp1251(text);
    const std::vector<uint8_t> expected = {'a', 'b', 'c', 0xC6, 'z', '1', ' ', 0xA8, 0xB8, 0xB9};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(DecodeCp1251(std::string(bytes.begin(), bytes.end())), text);
}

TEST(Cp1251Test, refusesWhatItCannotHoldInsteadOfReplacingIt) {
    EXPECT_THROW((void)EncodeCp1251("日本"), Exception);
    EXPECT_THROW((void)EncodeCp1251("key😀"), Exception);
    EXPECT_THROW((void)EncodeCp1251(std::string("\xC3", 1)), Exception);     // cut short
    EXPECT_THROW((void)EncodeCp1251(std::string("\xFF\x41", 2)), Exception); // not UTF-8
    try {
        (void)EncodeCp1251("ab日");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("U+65E5"), std::string::npos) << e.Message();
    }
}

} // namespace
