// SPDX-License-Identifier: MIT
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QVBoxLayout>
#include <cstdio>
#include <deque>

namespace Dialogs {
namespace {

bool gHeadless = false;
TRecorder gRecorder;
// Queued answers: (confirmed, path).
std::deque<std::pair<bool, QString>> gAnswers;
std::deque<bool> gYesNoAnswers;
// (given, key): an optional's copy out of a deque trips GCC's uninitialised-use warning.
std::deque<std::pair<bool, QString>> gKeyAnswers;
QString gLastKeyWarning;
QString gLastQuestion;
QString gLastFilter;
QString gLastInitialDir;

// The texts are written as a Russian desktop shows them; elsewhere the catalogue speaks.
QString Tr(const char* text) {
    return QCoreApplication::translate("Dialogs", text);
}

// A long text wraps only when the box is laid out, as it is shown: placed before that, it would
// open off-centre, by half of what the wrapping changed. So the box is put in the middle of
// the screen each time its size changes, the last time with its text in place.
class TCentreOnScreen : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            auto* box = static_cast<QWidget*>(watched);
            if (QScreen* screen = QGuiApplication::primaryScreen())
                box->move(screen->availableGeometry().center() - box->rect().center());
        }
        return false;
    }
};

// A mnemonic's "&" means nothing in a line of text.
QString Plain(QString text) {
    return text.remove('&');
}

void Print(const QString& caption, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    std::fflush(stderr);
}

void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    if (gRecorder) {
        gRecorder(caption, text);
        return;
    }
    if (gHeadless || !qApp) {
        Print(caption, text);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    CentreOnScreen(&box);
    box.exec();
}

// "Description|pattern" to Qt's "Description (pattern)"; "*.*" meant every file there.
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(";", " ");
        if (pattern == "*.*")
            pattern = "*";
        out << parts[i] + " (" + pattern + ")";
    }
    return out.join(";;");
}

// Qt's file dialog writes the folders it visited, and the last one, into the user's
// QtProject.conf, where they outlive the program: a list of where the user keeps the files they
// encrypt. The program keeps no settings through QSettings, so the user-wide ones are pointed at
// a place where nothing can be read or written.
void KeepNoDialogHistory() {
    static const bool done = [] {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
        return true;
    }();
    (void)done;
}

} // namespace

void CentreOnScreen(QWidget* box) {
    box->installEventFilter(new TCentreOnScreen(box));
    box->adjustSize();
}

void ShowError(const QString& text) {
    ShowBox(QMessageBox::Critical, Tr(QT_TRANSLATE_NOOP("Dialogs", "Error")), text);
}

QString AppErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + ".";
    return message;
}

void ShowAppError(const QString& message) {
    const QString title = QApplication::applicationName().isEmpty()
                              ? QStringLiteral("Calyxor")
                              : QApplication::applicationName();
    ShowBox(QMessageBox::Critical, title, AppErrorText(message));
}

bool AskYesNo(const QString& text) {
    gLastQuestion = text;
    if (!gYesNoAnswers.empty()) {
        const bool yes = gYesNoAnswers.front();
        gYesNoAnswers.pop_front();
        return yes;
    }
    const QString title = QApplication::applicationName().isEmpty()
                              ? QStringLiteral("Calyxor")
                              : QApplication::applicationName();
    if (gRecorder) {
        gRecorder(title, text);
        return false;
    }
    if (gHeadless || !qApp) {
        Print(title, text + " " + Plain(Tr(QT_TRANSLATE_NOOP("Dialogs", "&Нет"))));
        return false;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    // Alt with the underlined letter answers, as in every other box of the desktop.
    box.button(QMessageBox::Yes)->setText(Tr(QT_TRANSLATE_NOOP("Dialogs", "&Да")));
    box.button(QMessageBox::No)->setText(Tr(QT_TRANSLATE_NOOP("Dialogs", "&Нет")));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    CentreOnScreen(&box);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> AskKeyAgain(const QString& text, const QString& warning,
                                   const std::function<QLineEdit*(QWidget*)>& makeEdit) {
    gLastKeyWarning = warning;
    if (!gKeyAnswers.empty()) {
        const auto [given, key] = gKeyAnswers.front();
        gKeyAnswers.pop_front();
        if (!given)
            return std::nullopt;
        return key;
    }
    const QString title = QApplication::applicationName().isEmpty()
                              ? QStringLiteral("Calyxor")
                              : QApplication::applicationName();
    if (gRecorder) {
        gRecorder(title, text);
        return std::nullopt;
    }
    if (gHeadless || !qApp) {
        Print(title, text);
        return std::nullopt;
    }
    QDialog box;
    box.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(text, &box);
    QLineEdit* edit = makeEdit(&box);
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    if (!warning.isEmpty())
        layout->addWidget(new QLabel(warning, &box));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    buttons->button(QDialogButtonBox::Ok)->setText(Tr(QT_TRANSLATE_NOOP("Dialogs", "&OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(Tr(QT_TRANSLATE_NOOP("Dialogs", "О&тмена")));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    edit->setFocus();
    CentreOnScreen(&box);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

std::optional<QString> OpenFile(QWidget* parent, const QString& filter, const QString& initialDir) {
    gLastFilter = filter;
    gLastInitialDir = initialDir;
    if (!gAnswers.empty()) {
        const auto [confirmed, path] = gAnswers.front();
        gAnswers.pop_front();
        if (!confirmed)
            return std::nullopt;
        return path;
    }
    if (gHeadless)
        return std::nullopt;
    KeepNoDialogHistory();
    QFileDialog dialog(parent);
    // Qt's own dialog: it works the same under any desktop, and takes a typed name of a file
    // that does not exist yet.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QtFilter(filter));
    if (!initialDir.isEmpty())
        dialog.setDirectory(initialDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

void SetHeadless(bool headless) {
    gHeadless = headless;
}
bool Headless() {
    return gHeadless;
}
void SetRecorder(TRecorder recorder) {
    gRecorder = std::move(recorder);
}
void QueueYesNoAnswer(bool yes) {
    gYesNoAnswers.push_back(yes);
}
QString LastQuestion() {
    return gLastQuestion;
}
void QueueOpenFileAnswer(std::optional<QString> answer) {
    gAnswers.emplace_back(answer.has_value(), answer.value_or(QString()));
}
QString LastOpenFilter() {
    return gLastFilter;
}
QString LastOpenInitialDir() {
    return gLastInitialDir;
}
void QueueKeyAnswer(std::optional<QString> answer) {
    gKeyAnswers.emplace_back(answer.has_value(), answer.value_or(QString()));
}
QString LastKeyWarning() {
    return gLastKeyWarning;
}

} // namespace Dialogs
