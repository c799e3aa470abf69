// SPDX-License-Identifier: MIT
// The window in both of its languages: Russian exactly as the program has always spoken it,
// English for everyone else, from the catalogue built into the program.
#include "app/MainForm.h"
#include "app/Translation.h"
#include "cipher/FileTransform.h"
#include "lang/Texts.h"
#include "ops/Operations.h"
#include "platform/Dialogs.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct TWindowTexts {
    const char* Name;
    bool Russian;
    // File, Open, Exit, Commands, Encrypt, Decrypt, Wipe, Options, Choose skin, Choose module.
    std::vector<QString> Menu;
    QString KillBox, SfxBox;
    // Close, See, Open, Crypt, DeCrypt, Kill, Minimize.
    std::vector<QString> Hints;
    QString Question; // with %1 for the file
    QString ErrorTitle, AllFiles, ModuleHint;
    QString Yes, No;
    QString SfxNotFound, CantDelete;
    QString KeyRefusal; // the start of the engine's refusal of a key CP1251 cannot hold
    QString QtCancel;   // Qt's own word on its dialogs' buttons
    QString ShortKey, KeysDiffer, WrongKey;
};

const TWindowTexts Languages[] = {
    {"Russian",
     true,
     {"Файл", "Открыть", "Выход", "Команды", "Зашифровать", "Расшифровать", "Удалить", "Параметры",
      "Выбрать скин", "Выбрать SFX модуль"},
     "Удалить исходный файл",
     "Создать SFX шифрованный файл",
     {"Закрыть", "Просмотреть ключ", "Выбрать файл", "Зашифровать файл", "Расшифровать файл",
      "Удалить файл", "Свернуть"},
     "Файл «%1» уже существует. Заменить?",
     "Error",
     "Все файлы|*.*",
     "(Параметры → Выбрать SFX модуль).",
     "&Да",
     "&Нет",
     "Модуль SFX не найден",
     "Не могу удалить файл",
     "Ключ содержит «日» (U+65E5)",
     "Отмена",
     "Ключ короче 8 знаков: его легко подобрать.",
     "Ключи не совпадают. Ничего не записано, исходный файл не тронут.",
     "Похоже, ключ неверный: расшифрованный файл не похож на обычный файл. Всё равно "
     "расшифровать?"},
    {"English",
     false,
     {"File", "Open", "Exit", "Commands", "Encrypt", "Decrypt", "Wipe", "Options", "Choose skin",
      "Choose SFX module"},
     "Wipe the source file",
     "Create SFX encrypted file",
     {"Close", "Show key", "Choose file", "Encrypt file", "Decrypt file", "Wipe file", "Minimize"},
     "The file “%1” already exists. Replace it?",
     "Error",
     "All files|*.*",
     "(Options → Choose SFX module).",
     "&Yes",
     "&No",
     "SFX module not found",
     "Cannot wipe the file",
     "The key contains \"日\" (U+65E5)",
     "Cancel",
     "The key is shorter than 8 characters: it is easy to guess.",
     "The keys differ. Nothing was written, and the source file is as it was.",
     "The key seems to be wrong: the decrypted file does not look like a file. Decrypt it "
     "anyway?"},
};

class LanguageWindowTest : public ::testing::TestWithParam<TWindowTexts> {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseLanguage(GetParam().Russian));
        QApplication::setApplicationName("Calyxor");
        Dialogs::SetRecorder([this](const QString& caption, const QString& text) {
            Shown.emplace_back(caption, text);
        });
        OldCwd = fs::current_path();
        fs::current_path(Dir.Path);
    }
    void TearDown() override {
        Form.reset();
        fs::current_path(OldCwd);
        Dialogs::SetRecorder(nullptr);
        // The other tests see the window as it is written.
        (void)UseLanguage(true);
        UseTextsAsWritten();
    }
    TForm1& Make() {
        Form = std::make_unique<TForm1>(std::vector<std::string>{}, Dir.Path + "/");
        Shown.clear(); // the missing settings file
        return *Form;
    }

    TTempDir Dir;
    fs::path OldCwd;
    std::vector<std::pair<QString, QString>> Shown;
    std::unique_ptr<TForm1> Form;
};

TEST_P(LanguageWindowTest, menusCheckBoxesAndHints) {
    const TWindowTexts& t = GetParam();
    TForm1& f = Make();
    const std::vector<QAction*> menu = {f.N3, f.N4,  f.N5,  f.N7, f.N8,
                                        f.N9, f.N10, f.N11, f.N1, f.N2};
    for (std::size_t i = 0; i < menu.size(); ++i)
        EXPECT_EQ(menu[i]->text(), t.Menu[i]);
    EXPECT_EQ(f.CheckBoxKill->text(), t.KillBox);
    EXPECT_EQ(f.CheckBoxSFX->text(), t.SfxBox);
    const std::vector<QWidget*> buttons = {f.BtnClose,   f.BtnSee,  f.BtnOpen,    f.BtnCrypt,
                                           f.BtnDeCrypt, f.BtnKill, f.BtnMinimize};
    for (std::size_t i = 0; i < buttons.size(); ++i)
        EXPECT_EQ(buttons[i]->toolTip(), t.Hints[i]);
}

TEST_P(LanguageWindowTest, questionErrorsAndFileFilter) {
    const TWindowTexts& t = GetParam();
    TForm1& f = Make();
    WriteAll(Dir / "report.doc", {'a'});
    WriteAll(Dir / "report.doc.ash", {'b'});
    f.SourceFile = Dir / "report.doc";
    f.KeyBox->setText("k");
    f.BtnCryptClick();
    EXPECT_EQ(Dialogs::LastQuestion(),
              t.Question.arg(QString::fromStdString(Dir / "report.doc.ash")));

    Dialogs::QueueOpenFileAnswer(std::nullopt);
    f.BtnOpenClick();
    EXPECT_EQ(Dialogs::LastOpenFilter(), t.AllFiles);

    // A folder offered as the module: the error box and the menu path it points to.
    Shown.clear();
    fs::create_directory(Dir / "folder.sfx");
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "folder.sfx"));
    f.N2Click();
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].first, t.ErrorTitle);
    EXPECT_TRUE(Shown[0].second.endsWith(t.ModuleHint)) << Shown[0].second.toStdString();
}

// The real question box, answered by its default button.
TEST_P(LanguageWindowTest, replaceQuestionButtons) {
    const TWindowTexts& t = GetParam();
    Dialogs::SetRecorder(nullptr);
    QStringList buttons;
    QString title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        box->defaultButton()->click();
    });
    poll.start(10);
    EXPECT_FALSE(Dialogs::AskYesNo("?"));
    poll.stop();
    buttons.sort();
    QStringList expected{t.Yes, t.No};
    expected.sort();
    EXPECT_EQ(buttons, expected);
    EXPECT_EQ(title, "Calyxor");
}

// The operations speak without Qt; their messages take the window's language on the way in,
// and a file name after the fixed words is kept as it came.
TEST_P(LanguageWindowTest, operationsMessages) {
    const TWindowTexts& t = GetParam();
    EXPECT_EQ(EngineText(SfxNotFoundMessage), t.SfxNotFound);
    EXPECT_EQ(EngineText(std::string(CantDeleteMessage) + "\r/tmp/Отчёт.doc"),
              t.CantDelete + "\r/tmp/Отчёт.doc");
    // The English ones are the same in both languages.
    EXPECT_EQ(EngineText("! Can't open input file /tmp/a"), "! Can't open input file /tmp/a");
    EXPECT_EQ(EngineText(""), "");
}

// Qt's own dialogs (the file dialog, the standard buttons) speak the window's language too.
TEST_P(LanguageWindowTest, qtsOwnTexts) {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), GetParam().QtCancel);
}

// A key that cannot be used is refused in the window's language, and before the question about
// a target that exists (a question would reach the recorder first, answered "Нет", and end the
// command there). Nothing is written.
TEST_P(LanguageWindowTest, unusableKeyIsRefusedFirstInTheWindowsLanguage) {
    const TWindowTexts& t = GetParam();
    TForm1& f = Make();
    WriteAll(Dir / "report.doc", {'a'});
    WriteAll(Dir / "report.doc.ash", {'b'});
    WriteAll(Dir / "report", {'c'});
    const std::pair<const char*, void (TForm1::*)()> commands[] = {
        {"report.doc", &TForm1::BtnCryptClick}, {"report.doc.ash", &TForm1::BtnDeCryptClick}};
    for (const auto& [source, command] : commands) {
        SCOPED_TRACE(source);
        Shown.clear();
        f.SourceFile = Dir / source;
        f.KeyBox->setText("ключ日");
        f.Guarded([&f, command] { (f.*command)(); });
        ASSERT_EQ(Shown.size(), 1u);
        EXPECT_EQ(Shown[0].first, "Calyxor");
        EXPECT_TRUE(Shown[0].second.startsWith(t.KeyRefusal)) << Shown[0].second.toStdString();
        EXPECT_EQ(ReadAll(Dir / "report.doc.ash"), std::vector<uint8_t>{'b'});
        EXPECT_EQ(ReadAll(Dir / "report"), std::vector<uint8_t>{'c'});
    }
}

// The key checks speak the window's language: the short key's warning in the second key box (and
// none for a key long enough), the keys that differ, the wrong-looking result.
TEST_P(LanguageWindowTest, keyChecksInTheWindowsLanguage) {
    const TWindowTexts& t = GetParam();
    TForm1& f = Make();
    WriteAll(Dir / "report.doc", std::vector<uint8_t>(5000, 'r'));
    f.SourceFile = Dir / "report.doc";
    f.CheckBoxKill->setChecked(true);
    const struct {
        const char* Key;
        const char* Again;
        QString Warning, Said;
    } rows[] = {{"Secret1", "Secrte1", t.ShortKey, t.KeysDiffer},
                {"Long secret", "Long secert", QString(), t.KeysDiffer}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Key);
        Shown.clear();
        f.KeyBox->setText(QString::fromUtf8(row.Key));
        Dialogs::QueueKeyAnswer(QString::fromUtf8(row.Again));
        f.BtnCryptClick();
        EXPECT_EQ(Dialogs::LastKeyWarning(), row.Warning);
        ASSERT_EQ(Shown.size(), 1u);
        EXPECT_EQ(Shown[0].second, row.Said);
        EXPECT_FALSE(fs::exists(Dir / "report.doc.ash"));
        EXPECT_TRUE(fs::exists(Dir / "report.doc"));
    }

    // Encrypted with one key, decrypted with another: asked, answered "Нет" by the recorder.
    f.CheckBoxKill->setChecked(false);
    f.KeyBox->setText("right key");
    f.BtnCryptClick();
    fs::rename(Dir / "report.doc", Dir / "original.doc");
    Shown.clear();
    f.SourceFile = Dir / "report.doc.ash";
    f.KeyBox->setText("wrong key");
    f.BtnDeCryptClick();
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].second, t.WrongKey);
    EXPECT_FALSE(fs::exists(Dir / "report.doc"));
}

INSTANTIATE_TEST_SUITE_P(Both, LanguageWindowTest, ::testing::ValuesIn(Languages),
                         [](const auto& test) { return std::string(test.param.Name); });

} // namespace
