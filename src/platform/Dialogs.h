// SPDX-License-Identifier: MIT
#pragma once
// The dialogs the program shows, behind one seam: the modal "Error" dialog, the application's
// error box, and the open-file dialog. Tests replace them with recorders and prepared answers
// so that the real window can be driven without a modal dialog ever blocking; without a
// display, messages go to standard error instead of waiting for a click.

#include <QString>
#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace Dialogs {

// The program's own warnings and the file operations' messages: "Error", error icon,
// word-wrapped text, centred on the screen, one OK button for Enter and Esc.
void ShowError(const QString& text);

// The box for every error that escapes a handler: titled with the application title, stop
// icon, one OK button; a full stop is added when the text's last character sorts after ".".
void ShowAppError(const QString& message);
[[nodiscard]] QString AppErrorText(const QString& message);

// The open-file dialog. filter is written "Description|pattern". Accepts a typed name that does
// not exist. Returns nothing when cancelled.
[[nodiscard]] std::optional<QString> OpenFile(QWidget* parent, const QString& filter,
                                              const QString& initialDir);

// A question with the buttons "Да" and "Нет" ("Yes" and "No" in English), each with its
// mnemonic; "Нет" is the default and the answer to Esc. True for "Да". Without a display nobody can
// answer: the text goes to standard error and the answer is "Нет".
[[nodiscard]] bool AskYesNo(const QString& text);

// A key asked for a second time, in a small box titled with the application title: text above
// a masked edit made by makeEdit (so that it keeps the key box's rules), warning on one line
// below it when not empty, and "OK" and "Отмена" with their mnemonics. Enter answers OK, Esc
// cancels. Nothing when cancelled, and without a display (the text goes to standard error).
[[nodiscard]] std::optional<QString>
AskKeyAgain(const QString& text, const QString& warning,
            const std::function<QLineEdit*(QWidget*)>& makeEdit);

// Keeps a box in the middle of the screen whenever its size changes, so that it is centred
// with its text laid out, however long the text wraps. The box owns what keeps it there.
void CentreOnScreen(QWidget* box);

// Whether messages go to standard error (no display) instead of modal boxes.
void SetHeadless(bool headless);
[[nodiscard]] bool Headless();

// ---- test hooks ----
// Receives every message instead of a box: kind is "Error" or "Calyxor".
using TRecorder = std::function<void(const QString& caption, const QString& text)>;
void SetRecorder(TRecorder recorder);
// The answers the next open-file dialogs give, in order; an empty optional cancels. While
// answers are queued no dialog is shown; the filter and folder asked for are remembered.
void QueueOpenFileAnswer(std::optional<QString> answer);
[[nodiscard]] QString LastOpenFilter();
// The answers the next questions give, in order. Without a queued answer a question that goes
// to the recorder is answered "Нет". The last question asked is remembered.
void QueueYesNoAnswer(bool yes);
[[nodiscard]] QString LastQuestion();
[[nodiscard]] QString LastOpenInitialDir();
// The answers the next key questions give, in order; an empty optional cancels. Without one a
// key question that goes to the recorder is cancelled. The last warning shown is remembered.
void QueueKeyAnswer(std::optional<QString> answer);
[[nodiscard]] QString LastKeyWarning();

} // namespace Dialogs
