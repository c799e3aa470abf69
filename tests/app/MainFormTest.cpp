#include "MainForm.h"
#include "Dialogs.h"
#include "Errors.h"
#include "MessageRecorder.h"
#include "ReferenceCipher.h"
#include "TempDir.h"

#include <QApplication>
#include <QImage>
#include <QStyle>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string BuildDir = CALYXOR_BUILD_DIR;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// Every test gets its own application folder and records what the window would show.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPrimeTable();
        QApplication::setApplicationName("Calyxor"); // as the program's start sets it
        Dialogs::SetRecorder([this](const QString& caption, const QString& text) {
            Shown.push_back(caption.toStdString() + ": " + text.toStdString());
        });
        SetMessageHandler(
            [](const std::string& text) { Dialogs::ShowError(QString::fromUtf8(text)); });
        OldCwd = fs::current_path();
        fs::current_path(Dir.Path);
    }
    void TearDown() override {
        Form.reset();
        fs::current_path(OldCwd);
        Dialogs::SetRecorder(nullptr);
        SetMessageHandler(nullptr);
    }

    std::string AppDir() const { return Dir.Path + "/"; }

    void WriteSettings(const std::string& skin, const std::string& sfx) {
        WriteAll(Dir / "calyxor.ini",
                 Bytes("[Config]\r\nSkin=" + skin + "\r\nSFX=" + sfx + "\r\n"));
    }
    // Settings naming the shipped default skin and the built module.
    void UseShippedFiles() {
        WriteSettings(BuildDir + "/Skins/default/skin.ini", BuildDir + "/SFX/default.sfx");
    }
    TForm1& Make(std::vector<std::string> args = {}) {
        Form = std::make_unique<TForm1>(std::move(args), AppDir());
        return *Form;
    }
    void WriteSkin(const std::string& name, const std::string& body) {
        WriteAll(Dir / name, Bytes("<CALYXOR SKIN FILE>\r\n" + body));
    }
    static void MakeBmp(const std::string& path, int w, int h, QColor color) {
        QImage img(w, h, QImage::Format_RGB888);
        img.fill(color);
        ASSERT_TRUE(img.save(QString::fromStdString(path), "BMP"));
    }

    TTempDir Dir;
    fs::path OldCwd;
    std::vector<std::string> Shown;
    std::unique_ptr<TForm1> Form;
};

// ---- start-up and layout ------------------------------------------------------------------------

TEST_F(MainFormTest, builtInLayout_withoutSettingsFile) {
    TForm1& f = Make();
    // A missing settings file is reported and the rest of the start is skipped.
    EXPECT_EQ(Shown, std::vector<std::string>{"Calyxor: File not found."});
    EXPECT_EQ(f.SfxModuleSize, 0);
    EXPECT_EQ(f.AppDir, AppDir());
    EXPECT_EQ(f.SkinFile, AppDir() + "Skins/default/skin.ini");
    EXPECT_EQ(f.SfxModule, AppDir() + "SFX/default.sfx");
    EXPECT_EQ(f.windowTitle(), "Calyxor");
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.size(), QSize(300, 165));

    struct Row {
        QWidget* W;
        QRect Geometry;
    };
    const Row rows[] = {
        {f.BackImage, {0, 0, 300, 165}},     {f.LabelFilename, {88, 8, 161, 9}},
        {f.ProgressBar, {216, 112, 65, 17}}, {f.BtnClose, {256, 8, 33, 17}},
        {f.BtnSee, {264, 32, 35, 17}},       {f.BtnOpen, {192, 136, 35, 17}},
        {f.BtnCrypt, {8, 136, 35, 17}},      {f.BtnDeCrypt, {72, 136, 35, 17}},
        {f.BtnKill, {128, 136, 35, 17}},     {f.BtnMinimize, {216, 8, 33, 17}},
        {f.KeyBox, {64, 32, 193, 21}},       {f.CheckBoxKill, {16, 80, 161, 17}},
        {f.CheckBoxSFX, {16, 104, 161, 17}},
    };
    // Stacking order from the bottom is the order of the table.
    QList<QWidget*> stacked;
    for (QObject* child : f.children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !qobject_cast<QMenu*>(w))
            stacked.push_back(w);
    ASSERT_EQ(stacked.size(), static_cast<qsizetype>(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].W->geometry(), rows[i].Geometry) << rows[i].W->objectName().toStdString();
        EXPECT_EQ(stacked[static_cast<qsizetype>(i)], rows[i].W);
    }

    EXPECT_EQ(f.LabelFilename->text(), "");
    EXPECT_EQ(f.KeyBox->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.PasswordChar(), QChar('#'));
    EXPECT_EQ(f.KeyBox->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), '#');
    EXPECT_FALSE(f.KeyBox->hasFrame());
    EXPECT_EQ(f.CheckBoxKill->text(), "Удалить исходный файл");
    EXPECT_EQ(f.CheckBoxSFX->text(), "Создать SFX шифрованный файл");
    EXPECT_FALSE(f.CheckBoxKill->isChecked());
    EXPECT_EQ(f.BtnClose->toolTip(), "Закрыть");
    EXPECT_EQ(f.BtnSee->toolTip(), "Просмотреть ключ");
    EXPECT_EQ(f.BtnMinimize->toolTip(), "Свернуть");
    for (TVeskFade* b :
         {f.BtnClose, f.BtnSee, f.BtnOpen, f.BtnCrypt, f.BtnDeCrypt, f.BtnKill, f.BtnMinimize}) {
        EXPECT_EQ(b->ColorFrom(), 0x000080u);
        EXPECT_FALSE(b->StretchToFit());
        EXPECT_EQ(b->MsecPerFrame(), 5);
    }
    EXPECT_EQ(f.ProgressBar->BackColor(), 0x00FF00u);
    EXPECT_EQ(f.ProgressBar->ForeColor(), 0x0000FFu);
    EXPECT_EQ(f.ProgressBar->BorderStyle(), bsNone);
    EXPECT_EQ(f.ProgressBar->font().pixelSize(), 9);
    EXPECT_EQ(f.KeyBox->nextInFocusChain(), f.CheckBoxKill);
    EXPECT_EQ(f.CheckBoxKill->nextInFocusChain(), f.CheckBoxSFX);
    EXPECT_EQ(f.OpenDialog1.Filter, "Все файлы|*.*");
}

TEST_F(MainFormTest, popupMenu_hasTheThreeSubmenusInOrder) {
    TForm1& f = Make();
    const auto top = f.PopupMenu1->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0], f.N3);
    EXPECT_EQ(top[1], f.N7);
    EXPECT_EQ(top[2], f.N11);
    EXPECT_EQ(f.N3->text(), "Файл");
    EXPECT_EQ(f.N7->text(), "Команды");
    EXPECT_EQ(f.N11->text(), "Параметры");
    const auto file = f.N3->menu()->actions();
    ASSERT_EQ(file.size(), 3);
    EXPECT_EQ(file[0]->text(), "Открыть");
    EXPECT_TRUE(file[1]->isSeparator());
    EXPECT_EQ(file[2]->text(), "Выход");
    const auto cmds = f.N7->menu()->actions();
    ASSERT_EQ(cmds.size(), 3);
    EXPECT_EQ(cmds[0]->text(), "Зашифровать");
    EXPECT_EQ(cmds[1]->text(), "Расшифровать");
    EXPECT_EQ(cmds[2]->text(), "Удалить");
    const auto opts = f.N11->menu()->actions();
    ASSERT_EQ(opts.size(), 2);
    EXPECT_EQ(opts[0], f.N1);
    EXPECT_EQ(opts[1], f.N2);
    EXPECT_EQ(f.N1->text(), "Выбрать скин");
    EXPECT_EQ(f.N2->text(), "Выбрать SFX модуль");
}

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
    const auto mine = RandomBytes(4000, 11);
    const auto other = RandomBytes(4000, 12);
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
    const auto data = RandomBytes(30000, 3);
    WriteAll(Dir / "a.txt", data);
    for (const std::string verb : {"ENC", "enc", "eNc"}) {
        TForm1& f = Make({verb, "k", Dir / "a.txt", Dir / "a.ash"});
        f.show();
        f.ActivateOnce();
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(f.ExitCode, 0);
        EXPECT_EQ(ReadAll(Dir / "a.ash"), ref::transform(Bytes("k"), data, true)) << verb;
    }
    TForm1& d = Make({"Dec", "k", Dir / "a.ash", Dir / "b.txt"});
    d.show();
    d.ActivateOnce();
    EXPECT_EQ(ReadAll(Dir / "b.txt"), data);

    for (const std::string verb : {"ENC ", "ENCRYPT", "x"}) {
        TForm1& f = Make({verb, "k", Dir / "a.txt", Dir / "other"});
        f.show();
        f.ActivateOnce();
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(f.ExitCode, 2);
        EXPECT_FALSE(fs::exists(Dir / "other"));
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
    const auto data = RandomBytes(12345, 5);
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
    const auto data = RandomBytes(5000, 6);
    WriteAll(Dir / "s.bin", data);
    f.SourceFile = Dir / "s.bin";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);

    // No module chosen: the missing-module message, and the source stays.
    f.SfxModule.clear();
    f.CheckBoxSFX->setChecked(true);
    f.BtnCryptClick();
    EXPECT_EQ(Shown, std::vector<std::string>{"Error: Модуль SFX не найден"});
    EXPECT_EQ(ReadAll(Dir / "s.bin"), data);

    f.CheckBoxSFX->setChecked(false);
    f.BtnCryptClick();
    EXPECT_FALSE(fs::exists(Dir / "s.bin"));
    EXPECT_EQ(ReadAll(Dir / "s.bin.ash"), ref::transform(Bytes("k"), data, true));
    EXPECT_EQ(f.ProgressBar->Progress(), 0);
}

TEST_F(MainFormTest, encrypt_withKillReportsASourceThatCannotBeWiped) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = RandomBytes(100, 7);
    WriteAll(Dir / "real", data);
    fs::create_symlink(Dir / "real", Dir / "link"); // wiping refuses to follow links
    f.SourceFile = Dir / "link";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);
    f.BtnCryptClick();
    EXPECT_TRUE(fs::exists(Dir / "link.ash"));
    ASSERT_FALSE(Shown.empty());
    EXPECT_EQ(Shown.back(), "Error: Не могу удалить файл\r" + (Dir / "link"));
    EXPECT_EQ(ReadAll(Dir / "real"), data);
}

TEST_F(MainFormTest, decrypt_writesIntoTheWorkingFolderUnderTheCutName) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = RandomBytes(999, 8);
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
    f.BtnKillClick();
    EXPECT_EQ(f.SourceFile, Dir / "w");
    EXPECT_EQ(f.LabelFilename->text(), "w");
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, chooseModule_takesItsSize_aMissingOneKeepsTheOld) {
    UseShippedFiles();
    TForm1& f = Make();
    WriteAll(Dir / "other.sfx", RandomBytes(4321, 1));
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "other.sfx"));
    f.N2Click();
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor SFX Module|*.sfx");
    EXPECT_EQ(Dialogs::LastOpenInitialDir().toStdString(), BuildDir + "/SFX/");
    EXPECT_EQ(f.SfxModule, Dir / "other.sfx");
    EXPECT_EQ(f.SfxModuleSize, 4321);
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "typed-name.sfx"));
    f.N2Click();
    EXPECT_EQ(f.SfxModule, Dir / "typed-name.sfx");
    EXPECT_EQ(f.SfxModuleSize, 4321);
}

TEST_F(MainFormTest, existingTarget_isReplacedOnlyWhenTheUserSaysSo) {
    UseShippedFiles();
    TForm1& f = Make();
    const auto data = RandomBytes(3000, 13);
    const std::vector<uint8_t> good = Bytes("the user's good file");
    WriteAll(Dir / "report.doc", data);
    WriteAll(Dir / "report.doc.ash", good);
    f.SourceFile = Dir / "report.doc";
    f.KeyBox->setText("k");
    f.CheckBoxKill->setChecked(true);

    // Нет (the default, and Esc): nothing is written and nothing wiped.
    f.BtnCryptClick();
    EXPECT_EQ(Dialogs::LastQuestion().toStdString(),
              "Файл «" + (Dir / "report.doc.ash") + "» уже существует. Заменить?");
    EXPECT_EQ(ReadAll(Dir / "report.doc.ash"), good);
    EXPECT_EQ(ReadAll(Dir / "report.doc"), data);
    EXPECT_EQ(Shown.size(), 1u); // the question, answered by its default

    // Decrypting with a mistyped key over a good file: the same question, answered Нет.
    fs::create_directory(Dir / "out");
    fs::current_path(Dir / "out");
    WriteAll(Dir / "out/report.doc", good);
    f.SourceFile = Dir / "report.doc.ash";
    Dialogs::QueueYesNoAnswer(false);
    f.BtnDeCryptClick();
    EXPECT_EQ(Dialogs::LastQuestion().toStdString(),
              "Файл «" + (Dir / "out/report.doc") + "» уже существует. Заменить?");
    EXPECT_EQ(ReadAll(Dir / "out/report.doc"), good);

    // Да: replaced as before.
    Dialogs::QueueYesNoAnswer(true);
    f.N9Click();
    EXPECT_EQ(ReadAll(Dir / "out/report.doc"), ref::transform(Bytes("k"), good, false));
    f.SourceFile = Dir / "report.doc";
    Dialogs::QueueYesNoAnswer(true);
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
        EXPECT_TRUE(Shown[0].starts_with("Error: \"" + path + "\" is not a file")) << Shown[0];
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

// ---- skins --------------------------------------------------------------------------------------

TEST_F(MainFormTest, skin_markerMustBeExact) {
    UseShippedFiles();
    TForm1& f = Make();
    const QRect before = f.KeyBox->geometry();
    for (const std::string marker :
         {"<CALYXOR SKIN FILE> ", "<calyxor skin file>", "\xEF\xBB\xBF<CALYXOR SKIN FILE>"}) {
        WriteAll(Dir / "bad.ini", Bytes(marker + "\r\n[KEYBOX]\r\nLEFT=1\r\n"));
        const std::string previous = f.SkinFile;
        Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "bad.ini"));
        f.N1Click();
        EXPECT_EQ(f.SkinFile, previous);
        EXPECT_EQ(f.KeyBox->geometry(), before);
    }
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor skin file|*.ini");
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, skin_sectionsKeysAndValuesFollowTheLineRules) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("s.ini", "LEFT=5\r\n" // before any section: ignored
                       "[KeyBox]\r\nLeft=11\r\nTOP =99\r\nWIDTH=\r\nHEIGHT=$20\r\n"
                       "[KEYBOX] \r\nTOP=77\r\n" // trailing blank: unknown section
                       "[BTNKILL]\r\nWIDTH=99\r\nLEFT=x10\r\nBACKGROUND=none.bmp\r\n"
                       "[PROGRESSBAR]\r\nCOLOR=$00112233\r\nBACKCOLOR=0X445566\r\nFONTSIZE=12\r\n"
                       "[LabelFilename]\r\nWIDTH=50\r\nBACKCOLOR=1\r\n");
    f.SkinFile = Dir / "s.ini";
    EXPECT_TRUE(f.LoadSkin());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(f.KeyBox->geometry(), QRect(11, 32, 193, 32));
    EXPECT_EQ(f.BtnKill->geometry(), QRect(16, 136, 35, 17));
    EXPECT_EQ(f.ProgressBar->ForeColor(), 0x00112233u);
    EXPECT_EQ(f.ProgressBar->BackColor(), 0x445566u);
    EXPECT_EQ(f.ProgressBar->font().pointSize(), 12);
    EXPECT_EQ(f.LabelFilename->width(), 50);
}

TEST_F(MainFormTest, skin_badNumberStopsTheLoadWithEarlierLinesApplied) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("s.ini", "[KEYBOX]\r\nLEFT=21\r\nTOP=32 \r\nWIDTH=70\r\n");
    f.SkinFile = Dir / "s.ini";
    try {
        (void)f.LoadSkin();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'32 ' is not a valid integer value");
    }
    EXPECT_EQ(f.KeyBox->geometry(), QRect(21, 32, 193, 21));
}

TEST_F(MainFormTest, skin_missingPictureKeepsTheOldOneAndTheLinesBefore) {
    TForm1& f = Make();
    MakeBmp(Dir / "up.bmp", 20, 10, Qt::blue);
    WriteSkin("one.ini", "[BTNOPEN]\r\nPICTUREUP=up.bmp\r\n");
    f.SkinFile = Dir / "one.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.BtnOpen->size(), QSize(20, 10));

    Shown.clear();
    WriteSkin("two.ini", "[BTNOPEN]\r\nLEFT=3\r\nPICTUREUP=missing.bmp\r\nTOP=4\r\n");
    f.SkinFile = Dir / "two.ini";
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "two.ini"));
    f.Guarded([&] { f.N1Click(); }); // as the menu runs it
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], "Calyxor: Cannot open file " + (Dir / "missing.bmp") + ".");
    EXPECT_EQ(f.SkinFile, Dir / "two.ini"); // only a false result restores the old path
    EXPECT_EQ(f.BtnOpen->pos(), QPoint(3, 136));
    EXPECT_EQ(f.BtnOpen->size(), QSize(20, 10));
    EXPECT_EQ(f.BtnOpen->PicFrom().Width(), 20);
}

TEST_F(MainFormTest, skin_placesAndSizesStayWithinAScreen) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("huge.ini", "[KEYBOX]\r\nLEFT=2147483647\r\nTOP=-2147483648\r\n"
                          "WIDTH=2000000000\r\nHEIGHT=-7\r\nFONTSIZE=$7FFFFFFF\r\n"
                          "[PROGRESSBAR]\r\nWIDTH=$7FFFFFFF\r\nHEIGHT=99999\r\n"
                          "[BTNKILL]\r\nLEFT=-99999\r\nTOP=99999\r\n");
    f.SkinFile = Dir / "huge.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(f.KeyBox->geometry(), QRect(16384, -16384, 16384, 0));
    EXPECT_LE(f.KeyBox->font().pointSize(), 4096);
    EXPECT_EQ(f.ProgressBar->size(), QSize(16384, 16384));
    EXPECT_EQ(f.BtnKill->pos(), QPoint(-16384, 16384));
}

TEST_F(MainFormTest, skin_backgroundSizesTheWindowAndPathsAreRelative) {
    TForm1& f = Make();
    Shown.clear();
    fs::create_directory(Dir / "pics");
    MakeBmp(Dir / "pics/back.bmp", 400, 200, Qt::darkGreen);
    WriteSkin("big.ini", "[MAINFORM]\r\nBACKGROUND=pics\\back.bmp\r\n");
    f.move(10, 20);
    f.SkinFile = Dir / "big.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(400, 200));
    EXPECT_EQ(f.BackImage->geometry(), QRect(0, 0, 400, 200));
    EXPECT_EQ(f.pos(), QPoint(10, 20));

    // A bare skin name: pictures are found relative to the working folder.
    fs::create_directory(Dir / "cwd");
    fs::create_directory(Dir / "cwd/pics");
    MakeBmp(Dir / "cwd/pics/back.bmp", 123, 45, Qt::gray);
    fs::copy(Dir / "big.ini", Dir / "cwd/big.ini");
    fs::current_path(Dir / "cwd");
    f.SkinFile = "big.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(123, 45));

    // A skin without a background keeps the size.
    WriteSkin("plain.ini", "[KEYBOX]\r\nLEFT=1\r\n");
    f.SkinFile = Dir / "plain.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(123, 45));
    EXPECT_TRUE(Shown.empty());
}

} // namespace
