// SPDX-License-Identifier: MIT
// The window as a desktop program: a file dropped from the file manager is chosen as the open
// command would choose it, and the commands have keys, with the key box keeping the focus.

#include "app/MainForm.h"
#include "app/MainFormButtons.h"
#include "config/FilePaths.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QShortcut>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The keys of the commands and of the menu. The key box would take Ctrl+E and Ctrl+D for its
// own line editing (end of line, delete) on Linux; these keys are the window's.
// A key runs its button's own click command.
struct TKeyCommand {
    QKeyCombination Key;
    const TButtonRow* Button; // nullptr: the background menu
};

// Shift+Delete wipes, as it deletes for good in the file managers; the key box has no use for
// it (it would cut, and the key is never cut). The eye's key shows the key until pressed again.
constexpr TKeyCommand KeyCommands[] = {
    {Qt::CTRL | Qt::Key_O, ButtonRowOf(&TForm1::BtnOpen)},
    {Qt::CTRL | Qt::Key_E, ButtonRowOf(&TForm1::BtnCrypt)},
    {Qt::CTRL | Qt::Key_D, ButtonRowOf(&TForm1::BtnDeCrypt)},
    {Qt::SHIFT | Qt::Key_Delete, ButtonRowOf(&TForm1::BtnKill)},
    {Qt::CTRL | Qt::Key_R, ButtonRowOf(&TForm1::BtnSee)},
    {Qt::CTRL | Qt::Key_M, ButtonRowOf(&TForm1::BtnMinimize)},
    {Qt::CTRL | Qt::Key_Q, ButtonRowOf(&TForm1::BtnClose)},
    {QKeyCombination(Qt::Key_Menu), nullptr},
    {Qt::SHIFT | Qt::Key_F10, nullptr},
};

QKeySequence KeyOfButton(const TButtonRow* button) {
    for (const auto& k : KeyCommands)
        if (k.Button == button)
            return QKeySequence(k.Key);
    return {};
}

bool IsWindowKey(const QKeyEvent* event) {
    const QKeyCombination pressed = event->keyCombination();
    for (const auto& k : KeyCommands)
        if (k.Key == pressed)
            return true;
    return false;
}

} // namespace

void TForm1::BindKeys() {
    for (const auto& k : KeyCommands) {
        auto* shortcut = new QShortcut(QKeySequence(k.Key), this);
        shortcut->setContext(Qt::WindowShortcut);
        const TButtonRow* button = k.Button;
        connect(shortcut, &QShortcut::activated, this, [this, button] {
            if (!button)
                Guarded([this] { PopupFromKey(); });
            else if (button->Click)
                RunFromKey(this->*button->Field, button->Click);
            else
                Guarded([this] { ToggleKeyShown(); });
        });
    }
    // The menu shows each entry's key. The entries answer those keys only while the menu
    // itself has the focus; elsewhere the window's keys above run them, with the button's
    // picture pressed meanwhile.
    const std::pair<QAction*, const TButtonRow*> entries[] = {
        {N4, ButtonRowOf(&TForm1::BtnOpen)},  {N5, ButtonRowOf(&TForm1::BtnClose)},
        {N8, ButtonRowOf(&TForm1::BtnCrypt)}, {N9, ButtonRowOf(&TForm1::BtnDeCrypt)},
        {N10, ButtonRowOf(&TForm1::BtnKill)},
    };
    for (const auto& [action, button] : entries) {
        action->setShortcut(KeyOfButton(button));
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
    }
    // The key box's own edit menu offers only undo and selection of a secret: the Menu key
    // there opens the program's menu, as everywhere else in the window.
    KeyBox->OnMenuKey = [this] { Guarded([this] { PopupFromKey(); }); };
    // The key box would otherwise claim the window's keys while it has the focus.
    KeyBox->installEventFilter(this);
    // A file dropped on the key box is a file to work on, not text for the key.
    KeyBox->setAcceptDrops(false);
    setAcceptDrops(true);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == KeyBox && event->type() == QEvent::ShortcutOverride &&
        IsWindowKey(static_cast<QKeyEvent*>(event)))
        return true; // left unaccepted, so the window's shortcut runs
    return QWidget::eventFilter(watched, event);
}

void TForm1::RunFromKey(TVeskFade* button, void (TForm1::*command)()) {
    // The same picture a click shows: pressed while the command runs, at rest after it. Each
    // step on its own, so that neither a picture that fails nor a failing command keeps the
    // other from its part.
    Guarded([button] { button->Fade(); });
    Guarded([this, command] { (this->*command)(); });
    Guarded([button] { button->Reset(); });
}

void TForm1::PopupFromKey() {
    const QPoint at = KeyBox->hasFocus() ? KeyBox->mapToGlobal(QPoint(0, KeyBox->height()))
                                         : mapToGlobal(rect().center());
    PopupMenu1->popup(at);
}

// ---- dropped files ----------------------------------------------------------------------------

std::string TForm1::DroppedFile(const QList<QUrl>& urls) {
    // Folders, remote places and whatever cannot be read as a file are passed over: the first
    // regular file is the one meant, as a file manager drags a selection in its own order.
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
        struct stat st {};
        if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return {};
}

void TForm1::SelectSourceFile(const std::string& path) {
    SourceFile = path;
    ShowSourceName();
    // The decrypt command's output lands in the working folder, which follows the last file
    // chosen in the open dialog; a dropped file is a choice like any other.
    const std::string folder = ExtractFilePath(path);
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        // A folder that cannot be entered leaves the working folder where it was.
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    // Refused at once when nothing dropped could be used, so the pointer says so.
    if (event->mimeData()->hasUrls() && !DroppedFile(event->mimeData()->urls()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TForm1::dropEvent(QDropEvent* event) {
    const std::string path =
        event->mimeData()->hasUrls() ? DroppedFile(event->mimeData()->urls()) : std::string();
    if (path.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Guarded([&] { SelectSourceFile(path); });
}
