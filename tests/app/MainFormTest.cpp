// SPDX-License-Identifier: MIT
// The window's start, close, command line and commands, run on the real window in a folder of
// its own.

#include "support/MainFormFixture.h"
#include "support/ReferenceCipher.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// ---- start-up and layout ------------------------------------------------------------------------

TEST_F(MainFormTest, shippedFiles_loadWithoutErrorAndTakeTheModuleSize) {
    UseShippedFiles();
    TForm1& f = Make();
    EXPECT_TRUE(Shown.empty()) << Shown.front();
    EXPECT_EQ(f.size(), QSize(300, 165));
    EXPECT_EQ(f.SfxModuleSize, static_cast<int32_t>(fs::file_size(BuildDir + "/SFX/default.sfx")));
    EXPECT_FALSE(f.BtnCrypt->PicFrom().Empty());
    EXPECT_EQ(f.BackImage->Picture.Kind(), TPictureKind::pkJpeg);

    f.SkinFile = BuildDir + "/Skins/graphite/skin.ini";
    EXPECT_TRUE(f.LoadSkin());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(f.size(), QSize(f.BackImage->Picture.Width(), f.BackImage->Picture.Height()));
    EXPECT_EQ(f.BtnClose->PicFrom().Kind(), TPictureKind::pkIcon);
}

TEST_F(MainFormTest, close_clearsTheKeyAndWritesThreeLines) {
    UseShippedFiles();
    TForm1& f = Make();
    f.KeyBox->setText("secret");
    f.SkinFile = "/somewhere/else/skin.ini";
    EXPECT_TRUE(f.close());
    EXPECT_EQ(f.KeyBox->text(), "");
    // Nothing brings the key back, not even with the box showing it as typed.
    f.KeyBox->SetRevealed(true);
    f.KeyBox->undo();
    EXPECT_EQ(f.KeyBox->text(), "");
    EXPECT_EQ(ReadAll(Dir / "calyxor.ini"),
              Bytes("[Config]\r\nSkin=/somewhere/else/skin.ini\r\nSFX=" + BuildDir +
                    "/SFX/default.sfx\r\n"));
}

TEST_F(MainFormTest, close_isAbandonedWhenSettingsCannotBeWritten) {
    UseShippedFiles();
    TForm1& f = Make();
    f.AppDir = Dir / "missing-folder/";
    f.KeyBox->setText("secret");
    f.show();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.KeyBox->text(), "");
    ASSERT_FALSE(Shown.empty());
    EXPECT_EQ(Shown.back(), "Calyxor: File not found.");
}

// ---- command line -------------------------------------------------------------------------------

TEST_F(MainFormTest, oneArgument_selectsAnExistingFile_elseCloses) {
    UseShippedFiles();
    fs::create_directory(Dir / "sub");
    WriteAll(Dir / "sub/report.doc", Bytes("x"));
    TForm1& f = Make({Dir / "sub/report.doc"});
    f.show();
    f.ActivateOnce();
    EXPECT_EQ(f.SourceFile, Dir / "sub/report.doc");
    EXPECT_EQ(f.LabelFilename->text(), "report.doc");
    EXPECT_TRUE(f.isVisible());
    f.SourceFile.clear();
    f.ActivateOnce(); // examined once per run
    EXPECT_TRUE(f.SourceFile.empty());

    for (const std::string& arg : {Dir / "nothing", Dir / "sub"}) {
        TForm1& g = Make({arg});
        g.show();
        g.ActivateOnce();
        EXPECT_FALSE(g.isVisible()) << arg;
        EXPECT_TRUE(fs::exists(Dir / "calyxor.ini"));
    }
}

TEST_F(MainFormTest, relativeStartArgument_staysTheFileMeantAfterTheFolderChanges) {
    UseShippedFiles();
    const auto mine = DocumentBytes(4000, 11);
    const auto other = DocumentBytes(4000, 12);
    WriteAll(Dir / "report.doc", mine);
    fs::create_directory(Dir / "skins");
    WriteAll(Dir / "skins/report.doc", other);
    WriteSkin("skins/s.ini", "[KEYBOX]\r\nLEFT=70\r\n");
    TForm1& f = Make({"report.doc"});
    f.show();
    f.ActivateOnce();
    EXPECT_EQ(f.LabelFilename->text(), "report.doc");
    // Choosing a skin elsewhere moves the working folder there.
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "skins/s.ini"));
    f.N1Click();
    ASSERT_EQ(fs::current_path(), fs::path(Dir / "skins"));
    f.BtnKillClick();
    EXPECT_FALSE(fs::exists(Dir / "report.doc"));
    EXPECT_EQ(ReadAll(Dir / "skins/report.doc"), other);
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, fourArguments_runTheVerbInAnyCaseThenClose) {
    UseShippedFiles();
    const auto data = DocumentBytes(30000, 3);
    const auto sealed = ref::transform(Bytes("k"), data, true);
    WriteAll(Dir / "a.txt", data);
    struct Row {
        std::string Verb, Source, Target;
        int ExitCode;
        std::optional<std::vector<uint8_t>> Written; // nothing: no target appears
    };
    const Row rows[] = {
        {"ENC", "a.txt", "a.ash", 0, sealed}, {"enc", "a.txt", "a.ash", 0, sealed},
        {"eNc", "a.txt", "a.ash", 0, sealed}, {"Dec", "a.ash", "b.txt", 0, data},
        {"ENC ", "a.txt", "other", 2, {}},    {"ENCRYPT", "a.txt", "other", 2, {}},
        {"x", "a.txt", "other", 2, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Verb);
        fs::remove(Dir / row.Target);
        TForm1& f = Make({row.Verb, "k", Dir / row.Source, Dir / row.Target});
        f.show();
        f.ActivateOnce();
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(f.ExitCode, row.ExitCode);
        if (row.Written) {
            EXPECT_EQ(ReadAll(Dir / row.Target), *row.Written);
        } else {
            EXPECT_FALSE(fs::exists(Dir / row.Target));
        }
    }
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, fourArguments_missingSourceIsShownAndTheWindowStays) {
    UseShippedFiles();
    TForm1& f = Make({"ENC", "k", Dir / "missing", Dir / "t"});
    f.show();
    f.ActivateOnce();
    EXPECT_EQ(Shown, std::vector<std::string>{"Calyxor: File does not exist."});
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.ExitCode, 1);
}

TEST_F(MainFormTest, otherArgumentCounts_areIgnored) {
    UseShippedFiles();
    WriteAll(Dir / "a", Bytes("x"));
    for (auto args : std::vector<std::vector<std::string>>{
             {Dir / "a", "b"}, {"ENC", "k", Dir / "a"}, {"ENC", "k", Dir / "a", "t", "u"}}) {
        TForm1& f = Make(args);
        f.show();
        f.ActivateOnce();
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(f.SourceFile.empty());
    }
    EXPECT_FALSE(fs::exists(Dir / "t"));
}

// ---- commands -----------------------------------------------------------------------------------

TEST_F(MainFormTest, chooseFile_setsSourceLabelAndWorkingFolder) {
    UseShippedFiles();
    TForm1& f = Make();
    fs::create_directory(Dir / "docs");
    WriteAll(Dir / "docs/report.doc", Bytes("x"));
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "docs/report.doc"));
    f.BtnOpenClick();
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Все файлы|*.*");
    EXPECT_EQ(f.SourceFile, Dir / "docs/report.doc");
    EXPECT_EQ(f.LabelFilename->text(), "report.doc");
    EXPECT_EQ(fs::current_path(), fs::path(Dir / "docs"));

    Dialogs::QueueOpenFileAnswer(std::nullopt); // cancelled: nothing changes
    f.N4Click();
    EXPECT_EQ(f.SourceFile, Dir / "docs/report.doc");
}

TEST_F(MainFormTest, encrypt_namesTheTargetAndRespectsItsPreconditions) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = DocumentBytes(12345, 5);
    WriteAll(Dir / "report.doc", data);
    f.SourceFile = Dir / "report.doc";

    f.BtnCryptClick(); // empty key: nothing
    EXPECT_FALSE(fs::exists(Dir / "report.doc.ash"));

    f.KeyBox->setText("ключ");
    f.BtnCryptClick();
    EXPECT_EQ(f.TargetFile, Dir / "report.doc.ash");
    // A Cyrillic key is used as its CP1251 bytes.
    EXPECT_EQ(ReadAll(Dir / "report.doc.ash"),
              ref::transform({0xEA, 0xEB, 0xFE, 0xF7}, data, true));

    f.CheckBoxSFX->setChecked(true);
    f.N8Click();
    const std::string exe = Dir / "report.doc.exe";
    ASSERT_TRUE(fs::exists(exe));
    EXPECT_EQ(fs::file_size(exe), fs::file_size(BuildDir + "/SFX/default.sfx") + data.size());
    EXPECT_EQ(::access(exe.c_str(), X_OK), 0);

    f.SourceFile = Dir / "gone";
    f.BtnCryptClick(); // the selected file has gone: nothing, no message
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, encrypt_withKillWipesTheSourceOnlyAfterSuccess) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = DocumentBytes(5000, 6);
    WriteAll(Dir / "s.bin", data);
    f.SourceFile = Dir / "s.bin";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);

    // No module chosen: the missing-module message, and the source stays.
    f.SfxModule.clear();
    f.CheckBoxSFX->setChecked(true);
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    EXPECT_EQ(Shown, std::vector<std::string>{"Error: Модуль SFX не найден"});
    EXPECT_EQ(ReadAll(Dir / "s.bin"), data);

    // A target that cannot be created is shown first, as the run meets it, and the missing
    // module after it; no box more.
    Shown.clear();
    fs::create_directory(Dir / "s.bin.exe");
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_TRUE(Shown[0].starts_with("Error: ! Can't open input file " + (Dir / "s.bin.exe")))
        << Shown[0];
    EXPECT_EQ(Shown[1], "Error: Модуль SFX не найден");
    EXPECT_EQ(ReadAll(Dir / "s.bin"), data);
    fs::remove(Dir / "s.bin.exe");

    f.CheckBoxSFX->setChecked(false);
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    EXPECT_FALSE(fs::exists(Dir / "s.bin"));
    EXPECT_EQ(ReadAll(Dir / "s.bin.ash"), ref::transform(Bytes("k"), data, true));
    EXPECT_EQ(f.ProgressBar->Progress(), 0);
}

TEST_F(MainFormTest, encrypt_withKillReportsASourceThatCannotBeWiped) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = DocumentBytes(100, 7);
    WriteAll(Dir / "real", data);
    fs::create_symlink(Dir / "real", Dir / "link"); // wiping refuses to follow links
    f.SourceFile = Dir / "link";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    EXPECT_TRUE(fs::exists(Dir / "link.ash"));
    // The wipe's refusal as it happens, then the warning once the command is over.
    EXPECT_EQ(Shown, (std::vector<std::string>{"Error: ! Can't open input file " + (Dir / "link"),
                                               "Error: Не могу удалить файл\r" + (Dir / "link")}));
    EXPECT_EQ(ReadAll(Dir / "real"), data);
}

TEST_F(MainFormTest, decrypt_writesIntoTheWorkingFolderUnderTheCutName) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = DocumentBytes(999, 8);
    fs::create_directory(Dir / "in");
    fs::create_directory(Dir / "out");
    WriteAll(Dir / "in/x.ash.y.ash", ref::transform(Bytes("k"), data, true));
    fs::current_path(Dir / "out");
    f.SourceFile = Dir / "in/x.ash.y.ash";
    f.BtnDeCryptClick(); // empty key
    EXPECT_FALSE(fs::exists(Dir / "out/x"));
    f.KeyBox->setText("k");
    f.N9Click();
    EXPECT_EQ(f.TargetFile, "x");
    EXPECT_EQ(ReadAll(Dir / "out/x"), data);
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, decrypt_withoutAnOutputNameIsReportedAndWritesNothing) {
    UseShippedFiles();
    TForm1& f = Make();
    fs::create_directory(Dir / "a.b");
    WriteAll(Dir / "a.b/readme", Bytes("data"));
    f.SourceFile = Dir / "a.b/readme";
    f.KeyBox->setText("k");
    f.BtnDeCryptClick();
    EXPECT_EQ(f.TargetFile, "");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_TRUE(Shown[0].starts_with("Error: ")) << Shown[0];
    EXPECT_EQ(fs::directory_iterator(Dir / "a.b")->path().filename(), "readme");
}

// What a command made is said in the label, never in a box: its name, with the full path (and
// the wiped source) in the hint. A quick run in a window nobody looks at sends no notification.
TEST_F(MainFormTest, outcome_namesTheOutputInTheLabelWithItsPath) {
    UseShippedFiles();
    TForm1& f = Make();
    std::vector<std::string> notified;
    f.OnNotify = [&](const QString& summary, const QString&) {
        notified.push_back(summary.toStdString());
    };
    fs::create_directory(Dir / "docs");
    WriteAll(Dir / "docs/report.doc", Bytes("figures"));
    f.SourceFile = Dir / "docs/report.doc";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    EXPECT_EQ(f.LabelFilename->text(), "Зашифрован: report.doc.ash");
    EXPECT_EQ(f.LabelFilename->toolTip().toStdString(),
              Dir / "docs/report.doc.ash" + "\nИсходный файл удалён: " + (Dir / "docs/report.doc"));

    f.SourceFile = Dir / "docs/report.doc.ash";
    f.BtnDeCryptClick(); // into the working folder
    EXPECT_EQ(f.LabelFilename->text(), "Расшифрован: report.doc");
    EXPECT_EQ(f.LabelFilename->toolTip().toStdString(), Dir / "report.doc");
    EXPECT_EQ(ReadAll(Dir / "report.doc"), Bytes("figures"));
    EXPECT_TRUE(notified.empty());
    EXPECT_TRUE(Shown.empty()) << Shown.front();
}

TEST_F(MainFormTest, wipe_removesTheFileAndFailsSilentlyTheSecondTime) {
    UseShippedFiles();
    TForm1& f = Make();
    f.BtnKillClick(); // nothing selected: nothing
    WriteAll(Dir / "w", RandomBytes(20000, 9));
    f.SourceFile = Dir / "w";
    f.LabelFilename->setText("w");
    f.N10Click();
    EXPECT_FALSE(fs::exists(Dir / "w"));
    EXPECT_EQ(f.ProgressBar->MaxValue(), 20000);
    EXPECT_EQ(f.ProgressBar->Progress(), 0);
    // Said in the label, with the path as its hint; no box.
    EXPECT_EQ(f.LabelFilename->text(), "Удалён: w");
    EXPECT_EQ(f.LabelFilename->toolTip().toStdString(), Dir / "w");
    f.LabelFilename->setText("w");
    f.BtnKillClick();
    EXPECT_EQ(f.SourceFile, Dir / "w");
    EXPECT_EQ(f.LabelFilename->text(), "w");
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, chooseModule_takesItsSize_aMissingOneKeepsTheOld) {
    UseShippedFiles();
    TForm1& f = Make();
    auto module = ReadAll(BuildDir + "/SFX/default.sfx");
    const auto size = static_cast<int32_t>(module.size());
    WriteAll(Dir / "other.sfx", module);
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "other.sfx"));
    f.N2Click();
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor SFX Module|*.sfx");
    EXPECT_EQ(Dialogs::LastOpenInitialDir().toStdString(), BuildDir + "/SFX/");
    EXPECT_EQ(f.SfxModule, Dir / "other.sfx");
    EXPECT_EQ(f.SfxModuleSize, size);
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "typed-name.sfx"));
    f.N2Click();
    EXPECT_EQ(f.SfxModule, Dir / "typed-name.sfx");
    EXPECT_EQ(f.SfxModuleSize, size);

    // What is not one whole program is refused at once, and the module in use stays.
    module.push_back('x');
    WriteAll(Dir / "appended.sfx", module);
    WriteAll(Dir / "empty.sfx", {});
    for (const char* bad : {"appended.sfx", "empty.sfx"}) {
        Shown.clear();
        Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / bad));
        f.N2Click();
        ASSERT_EQ(Shown.size(), 1u) << bad;
        EXPECT_NE(Shown[0].find("не целая программа"), std::string::npos) << Shown[0];
        EXPECT_EQ(f.SfxModule, Dir / "typed-name.sfx");
        EXPECT_EQ(f.SfxModuleSize, size);
    }
}

TEST_F(MainFormTest, existingTarget_isReplacedOnlyWhenTheUserSaysSo) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = DocumentBytes(3000, 13);
    const std::vector<uint8_t> good = DocumentBytes(3000, 14);
    WriteAll(Dir / "report.doc", data);
    WriteAll(Dir / "report.doc.ash", good);
    f.SourceFile = Dir / "report.doc";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);

    // Нет (the default, and Esc): nothing is written and nothing wiped.
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.BtnCryptClick();
    EXPECT_EQ(Dialogs::LastQuestion().toStdString(),
              "Файл «" + (Dir / "report.doc.ash") + "» уже существует. Заменить?");
    EXPECT_EQ(ReadAll(Dir / "report.doc.ash"), good);
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
    EXPECT_EQ(Shown.size(), 1u); // the question, answered by its default

    // Decrypting with a mistyped key over a good file: what it gives looks like noise, and
    // that is asked about first; Нет writes nothing.
    fs::create_directory(Dir / "out");
    fs::current_path(Dir / "out");
    WriteAll(Dir / "out/report.doc", good);
    f.SourceFile = Dir / "report.doc.ash";
    Dialogs::QueueYesNoAnswer(false);
    f.BtnDeCryptClick();
    EXPECT_TRUE(Dialogs::LastQuestion().startsWith("Похоже, ключ неверный"))
        << Dialogs::LastQuestion().toStdString();
    EXPECT_EQ(ReadAll(Dir / "out/report.doc"), good);
    // Да to it, then the replace question, answered Нет: still nothing.
    Dialogs::QueueYesNoAnswer(true);
    Dialogs::QueueYesNoAnswer(false);
    f.BtnDeCryptClick();
    EXPECT_EQ(Dialogs::LastQuestion().toStdString(),
              "Файл «" + (Dir / "out/report.doc") + "» уже существует. Заменить?");
    EXPECT_EQ(ReadAll(Dir / "out/report.doc"), good);

    // Да to both: replaced as before.
    Dialogs::QueueYesNoAnswer(true);
    Dialogs::QueueYesNoAnswer(true);
    f.N9Click();
    EXPECT_EQ(ReadAll(Dir / "out/report.doc"), ref::transform(Bytes("k"), good, false));
    f.SourceFile = Dir / "report.doc";
    Dialogs::QueueYesNoAnswer(true);
    Dialogs::QueueKeyAnswer(QStringLiteral("k")); // the key typed again
    f.N8Click();
    EXPECT_EQ(ReadAll(Dir / "report.doc.ash"), ref::transform(Bytes("k"), data, true));
    EXPECT_FALSE(fs::exists(Dir / "report.doc"));

    // A target that does not exist yet is not asked about.
    Shown.clear();
    WriteAll(Dir / "new.doc", data);
    f.SourceFile = Dir / "new.doc";
    f.CheckBoxKill->setChecked(false);
    f.BtnCryptClick();
    EXPECT_TRUE(Shown.empty());
    EXPECT_TRUE(fs::exists(Dir / "new.doc.ash"));
}

TEST_F(MainFormTest, moduleThatIsNoFile_isRefusedWhenChosenAndReportedAtStart) {
    UseShippedFiles();
    TForm1& f = Make();
    const int32_t size = f.SfxModuleSize;
    const std::string module = f.SfxModule;
    ASSERT_EQ(::mkfifo((Dir / "pipe.sfx").c_str(), 0600), 0);
    fs::create_directory(Dir / "folder.sfx");
    const std::vector<std::string> notFiles = {Dir / "pipe.sfx", Dir / "folder.sfx", "/dev/zero"};
    for (const std::string& path : notFiles) {
        SCOPED_TRACE(path);
        Shown.clear();
        Dialogs::QueueOpenFileAnswer(QString::fromStdString(path));
        f.N2Click();
        EXPECT_EQ(f.SfxModule, module);
        EXPECT_EQ(f.SfxModuleSize, size);
        ASSERT_EQ(Shown.size(), 1u);
        EXPECT_TRUE(Shown[0].starts_with("Error: «" + path + "» — не файл")) << Shown[0];
    }
    // Named by the settings: said at start, and the skin still loads.
    for (const std::string& path : notFiles) {
        SCOPED_TRACE(path);
        WriteSettings(BuildDir + "/Skins/default/skin.ini", path);
        Shown.clear();
        TForm1& g = Make();
        EXPECT_EQ(g.SfxModuleSize, 0);
        EXPECT_EQ(Shown.size(), 1u);
        EXPECT_FALSE(g.BtnCrypt->PicFrom().Empty());
    }
}

TEST_F(MainFormTest, appErrorText_addsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(Dialogs::AppErrorText("File not found"), "File not found.");
    EXPECT_EQ(Dialogs::AppErrorText("Done."), "Done.");
    EXPECT_EQ(Dialogs::AppErrorText("Really!"), "Really!");
    EXPECT_EQ(Dialogs::AppErrorText("path/"), "path/.");
    EXPECT_EQ(Dialogs::AppErrorText("файл"), "файл.");
}

} // namespace
