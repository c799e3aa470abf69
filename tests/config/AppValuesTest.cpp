// SPDX-License-Identifier: MIT
#include "config/FilePaths.h"
#include "config/Settings.h"
#include "config/SkinValues.h"
#include "config/TextFile.h"
#include "errors/Errors.h"
#include "support/TempDir.h"

#include <filesystem>
#include <sys/stat.h>

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

// ---- text files on the disk ----

std::string ReadError(const std::string& path) {
    try {
        (void)ReadTextFileBytes(path);
    } catch (const EInOutError& e) {
        return e.Message();
    }
    return "read";
}

TEST(TextFileTest, whatIsNoSmallFileIsRefusedWithoutWaiting) {
    TTempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0); // no writer: a blocking open would wait
    std::filesystem::create_directory(dir / "folder");
    WriteAll(dir / "big", {'x'});
    std::filesystem::resize_file(dir / "big", TextFileSizeLimit + 1);
    WriteAll(dir / "small", std::vector<uint8_t>(TextFileSizeLimit, 'y'));
    EXPECT_EQ(ReadError(dir / "fifo"),
              "'" + (dir / "fifo") +
                  "' is not a file that can be read (it is a pipe, a device or a socket)");
    EXPECT_EQ(ReadError("/dev/zero"),
              "'/dev/zero' is not a file that can be read (it is a pipe, a device or a socket)");
    EXPECT_EQ(ReadError(dir / "folder"), "'" + (dir / "folder") + "' is a folder, not a file");
    EXPECT_EQ(ReadError(dir / "big"),
              "'" + (dir / "big") + "' is too large for a settings or skin file (more than 1 MiB)");
    EXPECT_EQ(ReadError(dir / "missing"), "File not found");
    EXPECT_EQ(ReadTextFileBytes(dir / "small").size(), TextFileSizeLimit);
}

TEST(TextFileTest, replacingKeepsTheFilesBitsAndLinksAndLeavesNothingElse) {
    TTempDir dir;
    const std::string ini = dir / "calyxor.ini";
    ReplaceTextFile(ini, "one\r\n");
    EXPECT_EQ(ReadAll(ini), (std::vector<uint8_t>{'o', 'n', 'e', '\r', '\n'}));
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);

    // A replaced file keeps its bits; a second name of the old file keeps the old text, so the
    // new text never went into the old file.
    ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
    ASSERT_EQ(::link(ini.c_str(), (dir / "old").c_str()), 0);
    ReplaceTextFile(ini, "two");
    EXPECT_EQ(ReadAll(ini), (std::vector<uint8_t>{'t', 'w', 'o'}));
    EXPECT_EQ(ReadAll(dir / "old"), (std::vector<uint8_t>{'o', 'n', 'e', '\r', '\n'}));
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Settings kept elsewhere through a link stay so.
    std::filesystem::create_directory(dir / "dotfiles");
    WriteAll(dir / "dotfiles/calyxor.ini", {'x'});
    std::filesystem::create_symlink(dir / "dotfiles/calyxor.ini", dir / "linked.ini");
    ReplaceTextFile(dir / "linked.ini", "three");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "linked.ini"));
    EXPECT_EQ(ReadAll(dir / "dotfiles/calyxor.ini"),
              (std::vector<uint8_t>{'t', 'h', 'r', 'e', 'e'}));

    try {
        ReplaceTextFile(dir / "missing/calyxor.ini", "four");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not found");
    }
    EXPECT_EQ(dir.Names(),
              (std::vector<std::string>{"calyxor.ini", "dotfiles", "linked.ini", "old"}));
}

} // namespace
