// SPDX-License-Identifier: MIT
// Calyxor: encrypts, decrypts and wipes single files with a password.

#include "app/CommandLineHelp.h"
#include "app/MainForm.h"
#include "app/Translation.h"
#include "cipher/CoreDumps.h"
#include "cipher/StandardDescriptors.h"
#include "cipher/core/Cipher.h"
#include "lang/Language.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

namespace {

// Errors must not cross Qt's event loop: any that escapes a handler ends here, is shown in the
// application's error box, and the program goes on.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            Dialogs::ShowAppError(QString::fromUtf8(e.what()));
        } catch (...) {
            Dialogs::ShowAppError(QCoreApplication::translate("MainForm", "Непредвиденная ошибка"));
        }
        return false;
    }
};

// Qt's note that it made its own runtime folder says nothing to a user of the command line.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n",
                 qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

// The platforms to try: the desktop's own, then the offscreen one, so that a display that is
// named but cannot be reached (a stale DISPLAY over ssh, say) still lets the command line run.
// A platform the user chose is left alone.
void ChoosePlatform() {
    if (std::getenv("QT_QPA_PLATFORM"))
        return;
    if (std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen", 1);
    else if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb;offscreen", 1);
    else
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int main(int argc, char** argv) {
    OpenMissingStandardDescriptors();
    // The window holds a key in memory: a core file of it would carry the key onto the disk.
    ForbidCoreDumps();
    if (argc == 2 && PrintCommandLineHelp(argv[1], CALYXOR_VERSION))
        return 0;
    // Without a display the program still runs its command line, on Qt's offscreen platform.
    ChoosePlatform();
    BuildPrimeTable();
    qInstallMessageHandler(QuietMessages);

    // Qt would take its own options (-platform, -style, -reverse, -display ...) out of the
    // arguments, and abort on some of them: a key or a file name is never Qt's business. It
    // sees the program's name only.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    TApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Calyxor"));
    // The desktop pairs the window with its entry, and so with the icon and name it shows.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.calyxor.Calyxor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/io.github.calyxor.Calyxor.png")));
    // Russian where the user's language is Russian, English everywhere else.
    (void)UseLanguage(SystemLanguageIsRussian());
    const QString platform = QGuiApplication::platformName();
    Dialogs::SetHeadless(platform == "offscreen" || platform == "minimal");
    // The window's fonts on Linux: Liberation Sans is the metric twin of the fonts it names.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});

    std::vector<std::string> args(argv + 1, argv + argc);
    TForm1 form(std::move(args));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        form.move(screen->geometry().center() - form.rect().center());
    form.show();
    const int status = app.exec();
    return status != 0 ? status : form.ExitCode;
}
