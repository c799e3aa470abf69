#include "Errors.h"
#include "Settings.h"
#include "SkinValues.h"
#include "TextFile.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Lines(std::string_view bytes, std::size_t limit = std::string::npos) {
    TTextReader r(bytes);
    std::vector<std::string> out;
    while (!r.Eof())
        out.push_back(r.ReadLine(limit));
    return out;
}

TEST(TextReaderTest, lineEndsFollowTheProgramsRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines("a\r\nb\rc"), (V{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\nb\r\n"), (V{"a\nb"})); // a lone LF is part of the line
    EXPECT_EQ(Lines("a\r\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\r\nb\x1A\r\nc"), (V{"a", "b"})); // 0x1A ends the file
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines(std::string(300, 'x') + "\r\nnext", 255), (V{std::string(255, 'x'), "next"}));
}

TEST(UpperStrTest, onlyAsciiLettersChange) {
    EXPECT_EQ(UpperStr("abcЖz1"), "ABCЖZ1");
    EXPECT_EQ(UpperStr("Skin= a"), "SKIN= A");
}

TSettingsValues Parse(std::string_view bytes) {
    TSettingsValues v{"default-skin", "default-sfx"};
    ParseSettings(bytes, v);
    return v;
}

TEST(SettingsTest, keysInAnyCaseWithoutBlanks_lastWins_valueTakenExactly) {
    EXPECT_EQ(Parse("[Config]\r\n").SkinFile, "default-skin");
    EXPECT_EQ(Parse("skin=D:\\x\\skin.ini\r\n").SkinFile, "D:\\x\\skin.ini");
    EXPECT_EQ(Parse(" Skin=x\r\n").SkinFile, "default-skin");
    EXPECT_EQ(Parse("Skin =x\r\n").SkinFile, "default-skin");
    EXPECT_EQ(Parse("Skin=a=b\r\n").SkinFile, "a=b");
    EXPECT_EQ(Parse("Skin= spaced \r\n").SkinFile, " spaced ");
    EXPECT_EQ(Parse("SFX=\r\n").SfxModule, "");
    EXPECT_EQ(Parse("SFX=one\r\nSFX=two\r\n").SfxModule, "two");
    EXPECT_EQ(Parse("no equals sign\r\nOther=1\r\n").SfxModule, "default-sfx");
}

TEST(SettingsTest, longLinesAreCutAndLfOnlyFilesAreOneLine) {
    const std::string longLine = "Skin=" + std::string(295, 'p');
    const auto v = Parse(longLine + "\r\nSFX=after\r\n");
    EXPECT_EQ(v.SkinFile, std::string(250, 'p'));
    EXPECT_EQ(v.SfxModule, "after");
    // Lines ended by LF alone run together: only a key on the first line is found.
    const auto lf = Parse("Skin=a\nSFX=b\n");
    EXPECT_EQ(lf.SkinFile, "a\nSFX=b\n");
    EXPECT_EQ(lf.SfxModule, "default-sfx");
}

TEST(SettingsTest, writtenFileHasThreeCutLines) {
    EXPECT_EQ(FormatSettings({"/s/skin.ini", "/m.sfx"}),
              "[Config]\r\nSkin=/s/skin.ini\r\nSFX=/m.sfx\r\n");
    const std::string written = FormatSettings({std::string(300, 'a'), ""});
    EXPECT_EQ(written, "[Config]\r\nSkin=" + std::string(250, 'a') + "\r\nSFX=\r\n");
}

TEST(SkinNumberTest, decimalAndHexadecimalForms) {
    for (const char* text : {"$20", "x20", "X20", "0x20", "0X20", "32", " 32", "+32", "  $20"})
        EXPECT_EQ(SkinStrToInt(text), 32) << text;
    EXPECT_EQ(SkinStrToInt("-32"), -32);
    EXPECT_EQ(SkinStrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(SkinStrToInt("$00ff8000"), 0x00FF8000);
    EXPECT_EQ(SkinStrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(SkinStrToInt("2147483647"), INT32_MAX);
}

TEST(SkinNumberTest, invalidFormsRaiseTheConversionError) {
    for (const char* text : {"-$20", "+$20", "32 ", "", " ", "0x", "$", "x", "2147483648",
                             "-2147483649", "$100000000", "3 2", "12a", "-", "0x-1", "\t32"}) {
        try {
            (void)SkinStrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(PathPartsTest, directoryNameAndExtension) {
    EXPECT_EQ(ExtractFilePath("/x/y/skin.ini"), "/x/y/");
    EXPECT_EQ(ExtractFilePath("skin.ini"), "");
    EXPECT_EQ(ExtractFileName("/x/y/skin.ini"), "skin.ini");
    EXPECT_EQ(ExtractFileExt("/x.y/z"), "");
    EXPECT_EQ(NativeSeparators("pics\\up.bmp"), "pics/up.bmp");
}

} // namespace
