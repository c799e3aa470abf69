// SPDX-License-Identifier: MIT
// The window's own handling under the mouse: the background drags the window, the buttons fade
// on a press and snap back, the eye button shows the key while held, the popup menu belongs to
// the background. The pointer is driven through Qt's window-system entry point, so events take
// the path a real pointer's do: picked by position, grabbed by the pressed widget, with enter
// and leave made by Qt itself.

#include "app/MainForm.h"
#include "cipher/Progress.h"
#include "platform/Dialogs.h"
#include "support/FormHarness.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
QT_END_NAMESPACE

namespace fs = std::filesystem;

namespace {

// A pointer on the screen: it has a global position, and every event is reported to the window
// relative to where the window is at that moment, as the window system does.
class TPointer {
public:
    explicit TPointer(QWidget* window) : Window(window) {}

    // Moves to a point of the window's client area.
    void MoveTo(QPoint client) { MoveToGlobal(Window->mapToGlobal(client)); }
    void MoveBy(int dx, int dy) { MoveToGlobal(Global + QPoint(dx, dy)); }
    void MoveToGlobal(QPoint global) {
        Global = global;
        // The platform's cursor moves too: Qt asks it where the pointer is when a modal dialog
        // comes and goes, and learns from it which window the pointer is over.
        QCursor::setPos(global);
        Send(QEvent::MouseMove, Qt::NoButton);
    }
    void Press(Qt::MouseButton button = Qt::LeftButton) {
        Held |= button;
        Send(QEvent::MouseButtonPress, button);
    }
    void Release(Qt::MouseButton button = Qt::LeftButton) {
        Held &= ~Qt::MouseButtons(button);
        Send(QEvent::MouseButtonRelease, button);
        // Far apart in time, so that two clicks never make a double click.
        Timestamp += 10'000;
    }
    void Click(QPoint client, Qt::MouseButton button = Qt::LeftButton) {
        MoveTo(client);
        Press(button);
        Release(button);
    }
    QPoint Global;

private:
    void Send(QEvent::Type type, Qt::MouseButton button) {
        QWindow* handle = Window->windowHandle();
        ASSERT_NE(handle, nullptr);
        Timestamp += 20;
        qt_handleMouseEvent(handle, handle->mapFromGlobal(QPointF(Global)), QPointF(Global), Held,
                            button, type, Qt::NoModifier, static_cast<int>(Timestamp));
        QCoreApplication::processEvents();
    }
    QWidget* Window;
    Qt::MouseButtons Held;
    long Timestamp = 1'000'000;
};

// Qt's file dialog would keep its history in $XDG_CONFIG_HOME/QtProject.conf. Qt reads the
// variable once, so it is set before anything of Qt runs: to a folder of this process's own.
const std::string ConfigHome = [] {
    std::string tmpl = (fs::temp_directory_path() / "calyxor-config-XXXXXX").string();
    const std::string dir = ::mkdtemp(tmpl.data());
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return dir;
}();

// Runs check on the first modal window that opens, then answers it with Esc.
void WhenModalOpens(std::function<void(QWidget*)> check) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        check(modal);
        if (modal->isVisible()) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(modal, &esc);
        }
    });
    timer->start(5);
}

QPoint CentreOf(const QWidget* w) {
    return w->geometry().center();
}

// A place of the background that no control covers.
const QPoint Background{230, 70};

class ChromeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = OpenDefaultForm(Dir, Shown);
        for (TVeskFade* b : Buttons()) {
            b->SetClock(&Clock);
            b->OnEnd = [this](TVeskFade* s) { Ended.push_back(s); };
        }
        Form->move(100, 100);
        Form->show();
        QCoreApplication::processEvents();
        Mouse = std::make_unique<TPointer>(Form.get());
        ASSERT_TRUE(Shown.empty()) << Shown.front();
    }
    void TearDown() override {
        CloseMenus();
        Form.reset();
        Dialogs::SetRecorder(nullptr);
    }

    std::vector<TVeskFade*> Buttons() const {
        return {Form->BtnClose, Form->BtnMinimize, Form->BtnSee, Form->BtnOpen,
                Form->BtnCrypt, Form->BtnDeCrypt,  Form->BtnKill};
    }
    // Counts the command that runs behind a button's click, without changing what it does.
    void CountClicks(TVeskFade* b) {
        auto command = b->OnClick;
        b->OnClick = [this, command](TVeskFade* s) {
            Clicks.push_back(s);
            command(s);
        };
    }

    TTempDir Dir;
    TInstantClock Clock;
    std::vector<std::string> Shown;
    std::vector<TVeskFade*> Ended;
    std::vector<TVeskFade*> Clicks;
    std::unique_ptr<TForm1> Form;
    std::unique_ptr<TPointer> Mouse;
};

TEST_F(ChromeTest, ClickFadesFullyThenRunsTheCommandWhilePressedThenSnapsBack) {
    const std::string source = Dir / "report.doc";
    WriteAll(source, RandomBytes(30'000, 7));
    Form->SourceFile = source;
    Form->KeyBox->setText("key");
    TVeskFade* b = Form->BtnCrypt;

    // What the window shows at each step of the click, taken from inside the real handlers.
    std::vector<std::string> log;
    auto click = b->OnClick;
    b->OnClick = [&](TVeskFade* s) {
        log.push_back(Pressed(s) ? "click, pressed" : "click, at rest");
        click(s);
        log.push_back(fs::exists(source + ".ash") ? "encrypted" : "not encrypted");
    };
    auto release = b->OnMouseUp;
    b->OnMouseUp = [&](TVeskFade* s, Qt::MouseButton button, Qt::KeyboardModifiers m, int x,
                       int y) {
        log.push_back("release");
        release(s, button, m, x, y);
        log.push_back(Pressed(s) ? "pressed" : "at rest");
    };

    Mouse->MoveTo(CentreOf(b));
    Mouse->Press();
    // The press returns only when the fade has played to its end.
    EXPECT_EQ(Ended, std::vector<TVeskFade*>{b});
    EXPECT_TRUE(Pressed(b));
    EXPECT_TRUE(log.empty());
    Mouse->Release();
    EXPECT_EQ(log, (std::vector<std::string>{"click, pressed", "encrypted", "release", "at rest"}));
    EXPECT_EQ(fs::file_size(source + ".ash"), 30'000u);
    EXPECT_FALSE(Form->Dragging);
}

TEST_F(ChromeTest, ReleaseOutsideRunsNoCommandAndEveryButtonIsBackAtRest) {
    Form->SourceFile = Dir / "a.txt";
    WriteAll(Form->SourceFile, {1, 2, 3});
    Form->KeyBox->setText("key");
    const QPoint where = Form->pos();
    for (TVeskFade* b : Buttons()) {
        SCOPED_TRACE(b->objectName().toStdString());
        CountClicks(b);
        Mouse->MoveTo(CentreOf(b));
        Mouse->Press();
        ASSERT_TRUE(Pressed(b));
        Mouse->MoveTo(Background);
        // Leaving while held snaps back at once, also for the buttons without a release handler.
        EXPECT_FALSE(Pressed(b));
        Mouse->Release();
        EXPECT_FALSE(Pressed(b));
    }
    EXPECT_TRUE(Clicks.empty());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(fs::exists(Form->SourceFile + ".ash"));
    EXPECT_TRUE(fs::exists(Form->SourceFile));
    EXPECT_EQ(Form->pos(), where);
}

TEST_F(ChromeTest, OpenKeepsItsPressedLookAfterACancelledChoiceUntilThePointerLeaves) {
    TVeskFade* b = Form->BtnOpen;
    CountClicks(b);
    Dialogs::QueueOpenFileAnswer(std::nullopt);
    Mouse->Click(CentreOf(b));
    EXPECT_EQ(Clicks, std::vector<TVeskFade*>{b});
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Все файлы|*.*");
    // No release handler: the pressed picture stays while the pointer rests on the button.
    EXPECT_TRUE(Pressed(b));
    Mouse->MoveBy(3, 2);
    EXPECT_TRUE(Pressed(b));
    Mouse->MoveTo(Background);
    EXPECT_FALSE(Pressed(b));
}

TEST_F(ChromeTest, ButtonStaysPressedWhileItsCommandShowsADialog) {
    // The real boxes, not the recorder: a modal window is what makes Qt tell the button that
    // the pointer left.
    Dialogs::SetRecorder(nullptr);
    const std::string source = Dir / "a.txt";
    WriteAll(source, {1, 2, 3});
    WriteAll(source + ".ash", {9});
    Form->SourceFile = source;
    Form->KeyBox->setText("key");

    // The question before replacing: Да and Нет, Нет the default; Esc answers Нет.
    TVeskFade* crypt = Form->BtnCrypt;
    bool pressedDuringQuestion = false;
    QString text, yes, no, byDefault;
    WhenModalOpens([&](QWidget* modal) {
        pressedDuringQuestion = Pressed(crypt);
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
        yes = box->button(QMessageBox::Yes)->text();
        no = box->button(QMessageBox::No)->text();
        byDefault = box->defaultButton()->text();
    });
    Mouse->Click(CentreOf(crypt));
    EXPECT_TRUE(pressedDuringQuestion);
    EXPECT_EQ(text.toStdString(), "Файл «" + source + ".ash» уже существует. Заменить?");
    EXPECT_EQ(yes, "&Да");
    EXPECT_EQ(no, "&Нет");
    EXPECT_EQ(byDefault, "&Нет");
    EXPECT_EQ(ReadAll(source + ".ash"), std::vector<uint8_t>{9});
    EXPECT_FALSE(Pressed(crypt)); // its release handler ran after the command

    // The open button has no release handler: pressed during the dialog and after it, while
    // the pointer rests on it; at rest once the pointer leaves.
    TVeskFade* open = Form->BtnOpen;
    bool pressedDuringDialog = false;
    WhenModalOpens([&](QWidget* modal) {
        EXPECT_NE(qobject_cast<QFileDialog*>(modal), nullptr);
        pressedDuringDialog = Pressed(open);
    });
    Mouse->Click(CentreOf(open));
    EXPECT_TRUE(pressedDuringDialog);
    EXPECT_TRUE(Pressed(open));
    Mouse->MoveBy(2, 1);
    EXPECT_TRUE(Pressed(open));
    Mouse->MoveTo(Background);
    EXPECT_FALSE(Pressed(open));

    // Left while the dialog was up: at rest as soon as the dialog has gone.
    WhenModalOpens([&](QWidget*) {
        pressedDuringDialog = Pressed(open);
        Mouse->MoveTo(Background);
    });
    Mouse->Click(CentreOf(open));
    EXPECT_TRUE(pressedDuringDialog);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Pressed(open));
}

TEST_F(ChromeTest, FileDialogLeavesNoHistoryOfTheUsersFolders) {
    Dialogs::SetRecorder(nullptr);
    fs::create_directory(Dir / "private-folder");
    const std::string module = Dir / "private-folder/my.sfx";
    fs::copy_file(CALYXOR_BUILD_DIR "/SFX/default.sfx", module); // a whole program
    WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(QString::fromStdString(Dir / "private-folder"));
        dialog->selectFile(QString::fromStdString(module));
        static_cast<QDialog*>(dialog)->accept();
    });
    Form->N2Click();
    ASSERT_EQ(Form->SfxModule, module);
    std::string written;
    for (const auto& entry : fs::recursive_directory_iterator(ConfigHome))
        if (entry.is_regular_file()) {
            const auto bytes = ReadAll(entry.path());
            written.append(bytes.begin(), bytes.end());
        }
    EXPECT_EQ(written.find("private-folder"), std::string::npos) << written;
    fs::remove_all(ConfigHome);
}

TEST_F(ChromeTest, ButtonsWithAReleaseHandlerSnapBackOnReleaseOverThem) {
    for (TVeskFade* b : {Form->BtnMinimize, Form->BtnDeCrypt, Form->BtnKill}) {
        SCOPED_TRACE(b->objectName().toStdString());
        CountClicks(b);
        Mouse->Click(CentreOf(b));
        EXPECT_EQ(Clicks.back(), b);
        EXPECT_FALSE(Pressed(b));
        if (b == Form->BtnMinimize) {
            EXPECT_TRUE(Form->isMinimized());
            Form->showNormal();
            QCoreApplication::processEvents();
        }
    }
}

TEST_F(ChromeTest, EyeShowsTheKeyOnlyWhileHeldOverIt) {
    Form->KeyBox->setText("open sesame");
    QLineEdit* key = Form->KeyBox;
    TVeskFade* eye = Form->BtnSee;
    ASSERT_EQ(key->echoMode(), QLineEdit::Password);

    // The key is already readable while the fade plays.
    QLineEdit::EchoMode duringFade = QLineEdit::Password;
    eye->OnBegin = [&](TVeskFade*) { duringFade = key->echoMode(); };
    Mouse->MoveTo(CentreOf(eye));
    Mouse->Press();
    EXPECT_EQ(duringFade, QLineEdit::Normal);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(Form->PasswordChar().isNull());
    EXPECT_TRUE(Pressed(eye));

    // Off the button while held: masked at once; back over it while held: still masked.
    Mouse->MoveBy(0, 40);
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Form->PasswordChar(), QChar('#'));
    EXPECT_FALSE(Pressed(eye));
    Mouse->MoveTo(CentreOf(eye));
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    Mouse->Release();
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(Pressed(eye));

    // A plain click over it shows the key for the press and masks it on the release.
    Mouse->Press();
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    Mouse->Release();
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(key->text(), "open sesame");
}

TEST_F(ChromeTest, ShownKeyIsNeverCopiedSelectedOrUndone) {
    QLineEdit* key = Form->KeyBox;
    key->setText("open sesame");
    key->selectAll(); // a selection made while masked must not become readable text
    QGuiApplication::clipboard()->setText("before");
    Mouse->MoveTo(CentreOf(Form->BtnSee));
    Mouse->Press();
    ASSERT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(key->hasSelectedText());

    auto keyPress = [&](int code, Qt::KeyboardModifiers mods, const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, code, mods, text);
        QApplication::sendEvent(key, &event);
    };
    struct Row {
        const char* What;
        int Key;
        Qt::KeyboardModifiers Mods;
    };
    const Row rows[] = {
        {"select all", Qt::Key_A, Qt::ControlModifier},
        {"select to start", Qt::Key_Home, Qt::ShiftModifier},
        {"select a character", Qt::Key_Left, Qt::ShiftModifier},
        {"copy", Qt::Key_C, Qt::ControlModifier},
        {"copy (Ctrl+Insert)", Qt::Key_Insert, Qt::ControlModifier},
        {"cut", Qt::Key_X, Qt::ControlModifier},
        {"cut (Shift+Delete)", Qt::Key_Delete, Qt::ShiftModifier},
        {"undo", Qt::Key_Z, Qt::ControlModifier},
        {"redo", Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        keyPress(row.Key, row.Mods);
        EXPECT_FALSE(key->hasSelectedText());
        EXPECT_EQ(key->text(), "open sesame");
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    }
    // Tabbing back into the box, which selects all of it, selects nothing.
    Form->CheckBoxKill->setFocus(Qt::TabFocusReason);
    key->setFocus(Qt::BacktabFocusReason);
    EXPECT_FALSE(key->hasSelectedText());
    // The edit menu, which offers copy and undo, never opens: a right click opens nothing, and
    // the menu asked for from the keyboard is the program's.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), key->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(key, &click);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5),
                           key->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(key, &menu);
    EXPECT_EQ(QApplication::activePopupWidget(), Form->PopupMenu1);
    Form->PopupMenu1->close();
    // Typing goes on as usual, capitals included.
    keyPress(Qt::Key_X, Qt::ShiftModifier, "X");
    EXPECT_EQ(key->text(), "open sesameX");
    Mouse->Release();
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
}

TEST_F(ChromeTest, KeyIsMaskedWhenTheWindowIsLeftMinimisedOrHidden) {
    QLineEdit* key = Form->KeyBox;
    key->setText("open sesame");
    TVeskFade* eye = Form->BtnSee;
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"another window takes the focus",
         [] {
             auto* other = new QWidget;
             other->setAttribute(Qt::WA_DeleteOnClose);
             other->show();
             other->activateWindow();
             QApplication::setActiveWindow(other);
             QCoreApplication::processEvents();
             other->close();
         }},
        {"minimised", [&] { Form->showMinimized(); }},
        {"hidden", [&] { Form->hide(); }},
    };
    for (const auto& [what, leave] : ways) {
        SCOPED_TRACE(what);
        Form->showNormal();
        Form->activateWindow();
        QApplication::setActiveWindow(Form.get());
        QCoreApplication::processEvents();
        Mouse->MoveTo(CentreOf(eye));
        Mouse->Press();
        ASSERT_EQ(key->echoMode(), QLineEdit::Normal);
        leave();
        QCoreApplication::processEvents();
        EXPECT_EQ(key->echoMode(), QLineEdit::Password);
        EXPECT_EQ(Form->PasswordChar(), QChar('#'));
        EXPECT_FALSE(Pressed(eye));
        Mouse->Release();
        Form->showNormal();
        QCoreApplication::processEvents();
        EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    }
}

TEST_F(ChromeTest, RightButtonOnAButtonFadesAndResetsButRunsNoCommandNorMenu) {
    Form->SourceFile = Dir / "a.txt";
    WriteAll(Form->SourceFile, {1, 2, 3});
    Form->KeyBox->setText("key");
    for (TVeskFade* b : {Form->BtnCrypt, Form->BtnClose, Form->BtnKill}) {
        SCOPED_TRACE(b->objectName().toStdString());
        CountClicks(b);
        Mouse->MoveTo(CentreOf(b));
        Mouse->Press(Qt::RightButton);
        EXPECT_EQ(Ended.back(), b);
        EXPECT_TRUE(Pressed(b));
        Mouse->Release(Qt::RightButton);
        // BtnClose has no release handler: it rests once the pointer leaves.
        if (b != Form->BtnClose) {
            EXPECT_FALSE(Pressed(b));
        }
        Mouse->MoveTo(Background + QPoint(0, 5));
        EXPECT_FALSE(Pressed(b));
        EXPECT_FALSE(Form->PopupMenu1->isVisible());
    }
    EXPECT_TRUE(Clicks.empty());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(fs::exists(Form->SourceFile));
    EXPECT_FALSE(fs::exists(Form->SourceFile + ".ash"));
}

TEST_F(ChromeTest, DraggingTheBackgroundKeepsThePressPointUnderThePointer) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        SCOPED_TRACE(button);
        const QPoint start = Form->pos();
        Mouse->MoveTo(Background);
        Mouse->Press(button);
        EXPECT_TRUE(Form->Dragging);
        EXPECT_EQ(QPoint(Form->DragX, Form->DragY), Background);
        Mouse->MoveBy(25, -10);
        Mouse->MoveBy(-5, 40);
        EXPECT_EQ(Form->pos(), start + QPoint(20, 30));
        EXPECT_EQ(Form->mapFromGlobal(Mouse->Global), Background);
        Mouse->Release(button);
        EXPECT_FALSE(Form->Dragging);
        // Moves without a held button are not a drag.
        Mouse->MoveBy(50, 50);
        EXPECT_EQ(Form->pos(), start + QPoint(20, 30));
    }
    EXPECT_FALSE(Form->PopupMenu1->isVisible());
}

TEST_F(ChromeTest, DragHasNoLimitAndTakesEveryMoveQueuedBehindAWindowMove) {
    Mouse->MoveTo(Background);
    Mouse->Press();
    // Far off the top-left of the screen: no limit is applied.
    Mouse->MoveToGlobal(QPoint(-500, -400));
    EXPECT_EQ(Form->pos(), QPoint(-500, -400) - Background);

    // Moves that were reported before the last window move still land the press point under
    // the pointer rather than repeating the step.
    const QPoint at = Form->pos();
    for (int i = 1; i <= 3; ++i) {
        const QPoint global = QPoint(-500, -400) + QPoint(7 * i, 3 * i);
        QMouseEvent stale(QEvent::MouseMove, QPointF(Background + QPoint(7 * i, 3 * i)),
                          QPointF(global), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Form->BackImage, &stale);
    }
    EXPECT_EQ(Form->pos(), at + QPoint(21, 9));
    Mouse->Release();
}

TEST_F(ChromeTest, RightButtonDragMovesTheWindowAndItsReleaseOpensTheMenuAtThePointer) {
    const QPoint start = Form->pos();
    Mouse->MoveTo(Background);
    Mouse->Press(Qt::RightButton);
    Mouse->MoveBy(-30, 15);
    EXPECT_EQ(Form->pos(), start + QPoint(-30, 15));
    EXPECT_FALSE(Form->PopupMenu1->isVisible());
    Mouse->Release(Qt::RightButton);
    EXPECT_FALSE(Form->Dragging);
    ASSERT_TRUE(Form->PopupMenu1->isVisible());
    EXPECT_EQ(Form->PopupMenu1->pos(), Mouse->Global);
}

TEST_F(ChromeTest, OtherControlsStartNoDragAndOpenNoMenu) {
    Form->LabelFilename->setText("report.doc");
    const QPoint start = Form->pos();
    for (QWidget* w : std::initializer_list<QWidget*>{
             Form->KeyBox, Form->CheckBoxKill, Form->CheckBoxSFX, Form->LabelFilename,
             Form->ProgressBar, Form->BtnCrypt, Form->BtnSee}) {
        SCOPED_TRACE(w->objectName().toStdString());
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            Mouse->MoveTo(CentreOf(w));
            Mouse->Press(button);
            Mouse->MoveBy(40, 30);
            EXPECT_FALSE(Form->Dragging);
            EXPECT_EQ(Form->pos(), start);
            Mouse->MoveTo(CentreOf(w));
            Mouse->Release(button);
            EXPECT_FALSE(Form->PopupMenu1->isVisible());
            // The key box has the platform's own edit menu; it is not the window's menu.
            CloseMenus();
        }
    }
    // The check boxes took their clicks as usual.
    EXPECT_TRUE(Form->CheckBoxKill->isChecked());
    EXPECT_TRUE(Form->CheckBoxSFX->isChecked());

    Mouse->Click(Background, Qt::RightButton);
    EXPECT_TRUE(Form->PopupMenu1->isVisible());
    EXPECT_EQ(Form->pos(), start);
}

} // namespace
