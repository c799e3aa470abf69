// SPDX-License-Identifier: MIT
// The operations both programs share, called in process: naming, key bytes, the module the
// window would use, the skin loader's line reading, and the encrypt-then-wipe chain.

#include "config/SkinValues.h"
#include "errors/Errors.h"
#include "ops/Naming.h"
#include "ops/Operations.h"
#include "support/MessageRecorder.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> Of(const TSecretBytes& key) {
    return {key.data(), key.data() + key.size()};
}

TEST(DecryptNamingTest, cutAtTheFirstOccurrenceOfTheExtension) {
    EXPECT_EQ(DecryptTargetName("/a/report.doc.ash"), "report.doc");
    EXPECT_EQ(DecryptTargetName("/a/x.ash.y.ash"), "x");
    EXPECT_EQ(DecryptTargetName("/a/readme"), "");
    EXPECT_EQ(DecryptTargetName("/a/.ash"), "");
    EXPECT_EQ(DecryptTargetName("/a.b/readme"), "");
    EXPECT_EQ(DecryptTargetName("/a/file.exe"), "file");
    EXPECT_EQ(EncryptTargetName("/a/report.doc", false), "/a/report.doc.ash");
    EXPECT_EQ(EncryptTargetName("/a/report.doc", true), "/a/report.doc.exe");
}

TEST(KeyBytesTest, cyrillicBecomesCp1251_andTextItCannotHoldIsRefused) {
    EXPECT_EQ(Of(ops::KeyBytes("ключ")), (std::vector<uint8_t>{0xEA, 0xEB, 0xFE, 0xF7}));
    EXPECT_EQ(Of(ops::KeyBytes("Ab1 №")), (std::vector<uint8_t>{'A', 'b', '1', ' ', 0xB9}));
    for (const char* bad : {"日本", "a\xFF", "\xD0"})
        EXPECT_THROW((void)ops::KeyBytes(bad), Exception) << bad;
}

TEST(SfxModuleTest, theWindowsModule_fromTheSettingsBesideTheProgramElseTheShippedOne) {
    TTempDir dir;
    const std::string app = dir.Path + "/";
    EXPECT_EQ(ops::DefaultSfxModule(app), app + "SFX/default.sfx"); // no settings yet
    const std::pair<std::string, std::string> cases[] = {
        {"[Config]\r\nSkin=/s/skin.ini\r\n", app + "SFX/default.sfx"},
        {"[Config]\r\nsfx=/m/other.sfx\r\n", "/m/other.sfx"},
        {"SFX=/a.sfx\r\nSFX=/b.sfx\r\n", "/b.sfx"},
        {"[Config]\r\nSFX=\r\n", ""}, // chosen as none: the window would report it missing
    };
    for (const auto& [settings, module] : cases) {
        WriteAll(dir / "calyxor.ini", Bytes(settings));
        EXPECT_EQ(ops::DefaultSfxModule(app), module) << settings;
    }

    int32_t size = 77;
    EXPECT_FALSE(ops::ReadSfxModuleSize(dir / "missing.sfx", size));
    EXPECT_EQ(size, 77); // a module that is not there keeps the size taken before
    WriteAll(dir / "m.sfx", RandomBytes(1234, 1));
    EXPECT_TRUE(ops::ReadSfxModuleSize(dir / "m.sfx", size));
    EXPECT_EQ(size, 1234);
}

TEST(SkinLinesTest, sectionsKeysAndValuesAsTheLoaderReadsThem) {
    using TSetting = std::tuple<std::string, std::string, std::string>;
    auto read = [](const std::string& bytes, bool* marked = nullptr) {
        std::vector<TSetting> got;
        const bool ok =
            ReadSkinSettings(bytes, [&](auto& s, auto& k, auto& v) { got.emplace_back(s, k, v); });
        if (marked)
            *marked = ok;
        return got;
    };
    bool marked = true;
    EXPECT_TRUE(read("<calyxor skin file>\r\n[a]\r\nx=1\r\n", &marked).empty());
    EXPECT_FALSE(marked);
    const auto got = read("<CALYXOR SKIN FILE>\r\nLeft=1\r\n[btnOpen]\r\nleft=5\r\ntop=\r\n"
                          "Picture Up=a=b\r\n[x]=7\n top=9\rnoequals\r",
                          &marked);
    EXPECT_TRUE(marked);
    EXPECT_EQ(got, (std::vector<TSetting>{
                       {"", "LEFT", "1"},
                       {"[BTNOPEN]", "LEFT", "5"}, // an empty value is skipped
                       {"[BTNOPEN]", "PICTURE UP", "a=b"},
                       // a LF alone is text: the section line runs on, and is applied in itself
                       {"[X]=7\n TOP=9", "[X]", "7\n top=9"},
                   }));
}

// ---- the encrypt command's chain ----------------------------------------------------------------

class ChainTest : public ::testing::Test {
protected:
    void SetUp() override { BuildPrimeTable(); }
    std::string Source(std::size_t n = 30000) {
        Data = RandomBytes(n, 42);
        WriteAll(Dir / "src.doc", Data);
        return Dir / "src.doc";
    }
    TTempDir Dir;
    std::vector<uint8_t> Data;
    TNoticeRecorder Messages;
    const TSecretBytes Key = ops::KeyBytes("k");
};

TEST_F(ChainTest, theSourceGoesOnlyWithACompleteTarget_andOnlyWhenAskedFor) {
    const std::string src = Source();
    ASSERT_TRUE(ops::EncryptAndWipe(src, Dir / "t1", Key, {}, false, nullptr, &Messages));
    EXPECT_EQ(ReadAll(src), Data);
    TProgressRecorder progress;
    const ops::TOutcome outcome =
        ops::EncryptAndWipe(src, Dir / "t2", Key, {}, true, &progress, &Messages);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome.Warning);
    EXPECT_FALSE(fs::exists(src));
    EXPECT_EQ(ReadAll(Dir / "t2"), ref::transform(Bytes("k"), Data, true));
    EXPECT_TRUE(Messages.Messages.empty());
    // The gauge shows the encryption, then the wipe, and rests at 0.
    EXPECT_EQ(progress.Calls.front(), "min 0");
    EXPECT_EQ(progress.Calls.back(), "pos 0");
    EXPECT_NE(std::find(progress.Calls.begin(), progress.Calls.end(), "max 30000"),
              progress.Calls.end());
}

TEST_F(ChainTest, failuresBeforeTheWipeKeepTheSource) {
    const std::string src = Source();
    // No module chosen: not done, with the warning to show; no target, the source kept.
    TSfxOptions noModule{true, "", 0};
    const ops::TOutcome outcome =
        ops::EncryptAndWipe(src, Dir / "t.exe", Key, noModule, true, nullptr, &Messages);
    EXPECT_FALSE(outcome);
    ASSERT_TRUE(outcome.Warning);
    EXPECT_EQ(outcome.Warning->Text, SfxNotFoundMessage);
    EXPECT_EQ(outcome.Warning->Path, Dir / "t.exe");
    EXPECT_TRUE(Messages.Messages.empty());
    EXPECT_FALSE(fs::exists(Dir / "t.exe"));
    EXPECT_EQ(ReadAll(src), Data);
    // A target that cannot take the bytes: the error rises, nothing is wiped.
    EXPECT_THROW((void)ops::EncryptAndWipe(src, "/dev/full", Key, {}, true, nullptr, &Messages),
                 Exception);
    EXPECT_EQ(ReadAll(src), Data);
    // Not allowed to replace an existing target: it is left as it was.
    WriteAll(Dir / "old", Bytes("old"));
    EXPECT_THROW((void)ops::EncryptAndWipe(src, Dir / "old", Key, {}, true, nullptr, &Messages,
                                           TOutputOptions{false}),
                 Exception);
    EXPECT_EQ(ReadAll(Dir / "old"), Bytes("old"));
    EXPECT_EQ(ReadAll(src), Data);
}

TEST_F(ChainTest, aSourceThatCannotBeWiped_isToldWithItsPath_andTheTargetStays) {
    Source();
    fs::create_symlink(Dir / "src.doc", Dir / "link"); // wiping never follows a link
    const ops::TOutcome outcome =
        ops::EncryptAndWipe(Dir / "link", Dir / "t", Key, {}, true, nullptr, &Messages);
    EXPECT_FALSE(outcome);
    // The wipe's own notice as it refused, then the warning that the source was kept.
    EXPECT_EQ(Messages.Messages,
              std::vector<std::string>{"! Can't open input file " + (Dir / "link")});
    ASSERT_TRUE(outcome.Warning);
    EXPECT_EQ(outcome.Warning->Text, std::string(CantDeleteMessage) + "\r" + (Dir / "link"));
    EXPECT_EQ(outcome.Warning->Path, Dir / "link");
    EXPECT_EQ(ReadAll(Dir / "src.doc"), Data);
    EXPECT_EQ(ReadAll(Dir / "t"), ref::transform(Bytes("k"), Data, true));
}

TEST_F(ChainTest, aSelfExtractingFileIsTheModulesBytesThenTheCipher_andIsExecutable) {
    const std::string src = Source(5000);
    const auto module = RandomBytes(3000, 7);
    WriteAll(Dir / "m.sfx", module);
    // The size was taken when the module was chosen; a module that has grown since gives only
    // that many bytes.
    const TSfxOptions sfx{true, Dir / "m.sfx", 2000};
    ASSERT_TRUE(ops::EncryptFile(src, Dir / "t.exe", Key, sfx, nullptr, &Messages));
    EXPECT_TRUE(Messages.Messages.empty());
    auto expected = std::vector<uint8_t>(module.begin(), module.begin() + 2000);
    const auto cipher = ref::transform(Bytes("k"), Data, true);
    expected.insert(expected.end(), cipher.begin(), cipher.end());
    EXPECT_EQ(ReadAll(Dir / "t.exe"), expected);
    EXPECT_EQ(::access((Dir / "t.exe").c_str(), X_OK), 0);
}

} // namespace
