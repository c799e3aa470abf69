// SPDX-License-Identifier: MIT
// The window as a desktop program: files dropped from a file manager and the commands' keys.
// Drops are real drag events with the urls a file manager sends; keys go through Qt's shortcut
// map first, as a key from the keyboard does, with the window active.

#include "app/MainForm.h"
#include "platform/Dialogs.h"
#include "support/FormHarness.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods, const QString& text,
                                               bool autorep, ushort count);
QT_END_NAMESPACE

namespace fs = std::filesystem;

namespace {

std::string WorkingDir() {
    return fs::current_path().string();
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test starts in a folder of its own choosing: an earlier dialog may have left the
        // process in a temporary folder that is gone.
        fs::current_path(fs::temp_directory_path());
        StartDir = WorkingDir();
        Form = OpenDefaultForm(Dir, Shown);
        for (TVeskFade* b : {Form->BtnOpen, Form->BtnCrypt, Form->BtnDeCrypt, Form->BtnClose})
            b->SetClock(&Clock);
        Form->show();
        Form->activateWindow();
        QApplication::setActiveWindow(Form.get());
        QCoreApplication::processEvents();
        ASSERT_TRUE(Shown.empty()) << Shown.front();
    }
    void TearDown() override {
        CloseMenus();
        Form.reset();
        Dialogs::SetRecorder(nullptr);
        fs::current_path(StartDir);
    }

    // Drags urls over target and drops them there; true when the window took the drag.
    bool Drop(QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPointF at = QPointF(target->rect().center());
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    // A key as the keyboard gives it to the focused widget: the shortcuts see it first.
    static void Key(QKeyCombination key) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        static ulong timestamp = 1000;
        if (qt_sendShortcutOverrideEvent(target, ++timestamp, key.key(), key.keyboardModifiers(),
                                         QString(), false, 1))
            return;
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &release);
    }

    TTempDir Dir;
    TInstantClock Clock;
    std::string StartDir;
    std::vector<std::string> Shown;
    std::unique_ptr<TForm1> Form;
};

QUrl Local(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

TEST_F(DesktopTest, DroppedFileIsChosenAsTheOpenCommandWouldAnywhereOnTheWindow) {
    fs::create_directories(Dir / "docs/folder");
    const std::string report = Dir / "docs/report 1.txt";
    WriteAll(report, {1, 2, 3});
    WriteAll(Dir / "docs/second.txt", {4});
    for (QWidget* over : std::initializer_list<QWidget*>{Form.get(), Form->KeyBox, Form->BtnOpen,
                                                         Form->LabelFilename}) {
        SCOPED_TRACE(over->objectName().toStdString());
        Form->SourceFile.clear();
        Form->LabelFilename->clear();
        fs::current_path(StartDir);
        // A folder and a remote file are passed over; the first regular file is the one meant.
        EXPECT_TRUE(Drop(over, {Local(Dir / "docs/folder"), QUrl("https://example.org/a.txt"),
                                Local(report), Local(Dir / "docs/second.txt")}));
        EXPECT_EQ(Form->SourceFile, report);
        EXPECT_EQ(Form->LabelFilename->text(), "report 1.txt");
        EXPECT_EQ(WorkingDir(), fs::path(Dir / "docs").string());
        EXPECT_EQ(Form->KeyBox->text(), ""); // the url is not typed into the key
    }
}

TEST_F(DesktopTest, DropWithoutALocalFileIsRefusedAndChangesNothing) {
    const std::string chosen = Dir / "chosen.txt";
    WriteAll(chosen, {1});
    fs::create_directory(Dir / "folder");
    Form->SelectSourceFile(chosen);
    fs::current_path(StartDir);
    const std::vector<QList<QUrl>> refused = {
        {Local(Dir / "folder")},
        {QUrl("https://example.org/a.txt")},
        {Local(Dir / "missing.txt")},
        {},
    };
    for (const auto& urls : refused) {
        EXPECT_FALSE(Drop(Form.get(), urls));
        EXPECT_EQ(Form->SourceFile, chosen);
        EXPECT_EQ(Form->LabelFilename->text(), "chosen.txt");
        EXPECT_EQ(WorkingDir(), StartDir);
    }
}

TEST_F(DesktopTest, KeysEncryptAndDecryptTheDroppedFileWithTheFocusInTheKeyBox) {
    fs::create_directories(Dir / "a");
    fs::create_directories(Dir / "elsewhere");
    const std::string plain = Dir / "a/notes.txt";
    const std::vector<uint8_t> contents = DocumentBytes(5000, 3);
    WriteAll(plain, contents);
    Form->KeyBox->setFocus();
    Form->KeyBox->setText("key");
    Form->KeyBox->setCursorPosition(0);

    ASSERT_TRUE(Drop(Form->KeyBox, {Local(plain)}));
    Key(Qt::CTRL | Qt::Key_E);
    ASSERT_TRUE(fs::exists(plain + ".ash"));
    fs::remove(plain);

    // The decrypted file follows the dropped file's folder, not where the program was.
    fs::current_path(Dir / "elsewhere");
    ASSERT_TRUE(Drop(Form.get(), {Local(plain + ".ash")}));
    Key(Qt::CTRL | Qt::Key_D);
    EXPECT_EQ(ReadAll(plain), contents);
    EXPECT_TRUE(fs::is_empty(Dir / "elsewhere"));
    // The key box kept its key and its cursor: the window's keys are not line editing.
    EXPECT_EQ(Form->KeyBox->text(), "key");
    EXPECT_EQ(Form->KeyBox->cursorPosition(), 0);
    EXPECT_TRUE(Shown.empty()) << Shown.front();
}

TEST_F(DesktopTest, EachKeyRunsItsCommandWithItsButtonPressedMeanwhile) {
    const std::string source = Dir / "a.txt";
    WriteAll(source, {1, 2, 3});
    WriteAll(source + ".ash", {9}); // encrypting asks before replacing it
    WriteAll(Dir / "a", {8});       // and so does decrypting, into the working folder
    fs::current_path(Dir.Path);
    Form->SourceFile = source;
    Form->KeyBox->setText("key");
    Form->KeyBox->setFocus();

    // Which buttons show their pressed picture, seen from inside each command: the replace
    // question, the open dialog, the close.
    const std::vector<TVeskFade*> buttons = {Form->BtnOpen, Form->BtnCrypt, Form->BtnDeCrypt,
                                             Form->BtnClose};
    std::vector<std::string> seen;
    auto pressedNow = [&] {
        std::string names;
        for (TVeskFade* b : buttons)
            if (Pressed(b))
                names += b->objectName().toStdString();
        seen.push_back(names);
    };
    Dialogs::SetRecorder([&](const QString&, const QString&) { pressedNow(); });
    struct TCloseWatch : QObject {
        std::function<void()> OnClose;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Close)
                OnClose();
            return false;
        }
    } closeWatch;
    closeWatch.OnClose = pressedNow;
    Form->installEventFilter(&closeWatch);

    Key(Qt::CTRL | Qt::Key_E);
    Key(Qt::CTRL | Qt::Key_D);
    auto* timer = new QTimer(Form.get());
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            pressedNow();
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(modal, &esc);
        }
    });
    timer->start(5);
    Key(Qt::CTRL | Qt::Key_O);
    // The offscreen platform does not give the window its activation back after a dialog.
    QApplication::setActiveWindow(Form.get());
    Form->KeyBox->setFocus();
    Key(Qt::CTRL | Qt::Key_Q);
    EXPECT_EQ(seen, (std::vector<std::string>{"BtnCrypt", "BtnDeCrypt", "BtnOpen", "BtnClose"}));
    for (TVeskFade* b : buttons)
        EXPECT_FALSE(Pressed(b)) << b->objectName().toStdString();
    EXPECT_FALSE(Form->isVisible()); // Ctrl+Q closed the window
    EXPECT_EQ(ReadAll(source + ".ash"), std::vector<uint8_t>{9});
    EXPECT_EQ(Form->SourceFile, source); // the dialog was cancelled
}

// Without the pointer: Tab reaches every button, in the order the window reads; the eye answers
// Space while it is held and its key until pressed again; the wipe and minimise have keys; and
// the menu shows each entry's key.
TEST_F(DesktopTest, KeyboardReachesEveryButtonAndEveryCommand) {
    for (TVeskFade* b : {Form->BtnSee, Form->BtnKill, Form->BtnMinimize})
        b->SetClock(&Clock);
    Form->KeyBox->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 12; ++i) {
        Key(QKeyCombination(Qt::Key_Tab));
        order.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"CheckBoxKill", "CheckBoxSFX", "BtnCrypt", "BtnDeCrypt",
                                        "BtnKill", "BtnOpen", "BtnSee", "BtnMinimize", "BtnClose",
                                        "KeyBox", "CheckBoxKill", "CheckBoxSFX"}));

    QLineEdit* key = Form->KeyBox;
    key->setText("open sesame");
    Form->BtnSee->setFocus();
    QKeyEvent spaceDown(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(Form->BtnSee, &spaceDown);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    QKeyEvent spaceUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(Form->BtnSee, &spaceUp);
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(Pressed(Form->BtnSee));
    key->setFocus();
    Key(Qt::CTRL | Qt::Key_R);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(Pressed(Form->BtnSee));
    Key(Qt::CTRL | Qt::Key_R);
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(Pressed(Form->BtnSee));

    const std::string doomed = Dir / "doomed.txt";
    WriteAll(doomed, {1, 2, 3});
    Form->SelectSourceFile(doomed);
    Key(Qt::SHIFT | Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(doomed));
    EXPECT_EQ(key->text(), "open sesame"); // not cut
    Key(Qt::CTRL | Qt::Key_M);
    EXPECT_TRUE(Form->isMinimized());
    Form->showNormal();

    const std::pair<QAction*, QKeySequence> entries[] = {
        {Form->N4, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Form->N5, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {Form->N8, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {Form->N9, QKeySequence(Qt::CTRL | Qt::Key_D)},
        {Form->N10, QKeySequence(Qt::SHIFT | Qt::Key_Delete)}};
    for (const auto& [action, shown] : entries) {
        EXPECT_EQ(action->shortcut(), shown) << action->text().toStdString();
        EXPECT_TRUE(action->isShortcutVisibleInContextMenu());
    }
    EXPECT_TRUE(Shown.empty()) << Shown.front();
}

TEST_F(DesktopTest, MenuKeysOpenTheBackgroundMenuAndTheKeyBoxKeepsItsOwnKeys) {
    Form->move(100, 100);
    QCoreApplication::processEvents();
    Form->KeyBox->setFocus();
    Form->KeyBox->setText("key");
    // Ctrl+A is the key box's: it selects, and opens nothing.
    Key(Qt::CTRL | Qt::Key_A);
    EXPECT_EQ(Form->KeyBox->selectedText(), "key");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    const struct {
        QKeyCombination Key;
        QWidget* Focus;
        QPoint At;
    } cases[] = {
        {QKeyCombination(Qt::Key_Menu), Form->KeyBox,
         Form->KeyBox->mapToGlobal(QPoint(0, Form->KeyBox->height()))},
        {Qt::SHIFT | Qt::Key_F10, Form->CheckBoxKill, Form->mapToGlobal(Form->rect().center())},
    };
    for (const auto& c : cases) {
        c.Focus->setFocus();
        Key(c.Key);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_EQ(popup, Form->PopupMenu1);
        EXPECT_EQ(popup->pos(), c.At);
        popup->close();
    }
}

} // namespace
