// SPDX-License-Identifier: MIT
#include "app/MainForm.h"
#include "app/CommandLineHelp.h"
#include "app/MainFormButtons.h"
#include "app/Translation.h"

#include "config/FilePaths.h"
#include "config/Locations.h"
#include "config/Settings.h"
#include "config/TextFile.h"
#include "errors/Errors.h"
#include "ops/KeyCheck.h"
#include "ops/Naming.h"
#include "ops/Operations.h"
#include "platform/Dialogs.h"
#include "platform/Notifier.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TForm1* Form1 = nullptr;

namespace {

QString Q(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}
std::string B(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

// Qt draws its own bullet for hidden text; the program shows "#" for every character.
class TPasswordCharStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

QFont PixelFont(const QString& family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

// The key box's text as key bytes. The UTF-8 copy made on the way is overwritten as well,
// however the conversion ends.
TSecretBytes KeyOf(const QString& key) {
    QByteArray utf8 = key.toUtf8();
    struct TWipe {
        QByteArray& Text;
        ~TWipe() { SecureWipe(Text.data(), static_cast<std::size_t>(Text.size())); }
    } wipe{utf8};
    return ops::KeyBytes(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string CurrentDir() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// path as seen from folder; an absolute path, or one without a folder to lean on, is kept.
std::string Absolute(const std::string& folder, const std::string& path) {
    if (path.empty() || path.front() == '/' || folder.empty())
        return path;
    return folder.back() == '/' ? folder + path : folder + "/" + path;
}

// The window's texts are written as the Russian window shows them; an English catalogue,
// installed at start, gives the rest of the world its own.
QString Tr(const char* text) {
    return QCoreApplication::translate("MainForm", text);
}

QString NotAModuleText(const std::string& path) {
    return QCoreApplication::translate("MainForm",
                                       "«%1» — не файл и не может быть модулем SFX. Выберите "
                                       "файл модуля (Параметры → Выбрать SFX модуль).")
        .arg(Q(path));
}

QString NotAProgramText(const std::string& path) {
    return QCoreApplication::translate(
               "MainForm",
               "\"%1\" не может быть модулем SFX: это не целая программа (пустой файл, текст, "
               "программа с дописанными байтами или уже созданный SFX файл). Модуль остался "
               "прежним.")
        .arg(Q(path));
}

} // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// ---- TOpenDialog ----------------------------------------------------------------------------

bool TOpenDialog::Execute(QWidget* parent) {
    const auto chosen = Dialogs::OpenFile(parent, Filter, InitialDir);
    if (!chosen)
        return false;
    FileName = *chosen;
    const std::string folder = ExtractFilePath(B(FileName));
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        // A folder that cannot be entered leaves the working folder where it was: the names
        // the commands form are then relative to that one, as before the choice.
    }
    return true;
}

// ---- construction ---------------------------------------------------------------------------

TForm1::TForm1(std::vector<std::string> args, std::string appDir, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), Args(std::move(args)),
      AppDirOverride(std::move(appDir)) {
    Form1 = this;
    StartDir = CurrentDir();
    setWindowTitle(QStringLiteral("Calyxor"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildControls();
    BuildMenu();
    BindButtons();
    // Errors while the window is made are shown, and the window is made all the same.
    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::BuildControls() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(clBtnFace));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
    resize(300, 165);

    // Created in stacking order: each later sibling lies above the ones before it.
    BackImage = new TImage(this);
    BackImage->setObjectName("BackImage");
    BackImage->setGeometry(0, 0, 300, 165);

    LabelFilename = new QLabel(this);
    LabelFilename->setObjectName("LabelFilename");
    LabelFilename->setGeometry(88, 8, 161, 9);
    LabelFilename->setFont(PixelFont(QStringLiteral("Arial"), 9));
    LabelFilename->setAttribute(Qt::WA_TranslucentBackground);
    SetTextColor(LabelFilename, QPalette::WindowText, clWindowText);

    ProgressBar = new TGauge(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->BeginLoading();
    ProgressBar->setGeometry(216, 112, 65, 17);
    ProgressBar->SetBackColor(clLime);
    ProgressBar->SetForeColor(clRed);
    ProgressBar->SetColor(clBlack);
    ProgressBar->SetBorderStyle(bsNone);
    ProgressBar->SetProgress(0);
    ProgressBar->setFont(PixelFont(QStringLiteral("Arial"), 9));
    ProgressBar->EndLoading();
    ProgressBar->setAccessibleName(Tr(QT_TRANSLATE_NOOP("MainForm", "Ход операции")));

    for (const TButtonRow& row : ButtonRows) {
        auto* btn = new TVeskFade(this);
        btn->setObjectName(row.Name);
        btn->SetColorFrom(clMaroon);
        btn->SetStretchToFit(false);
        btn->SetMsecPerFrame(5);
        btn->SetBounds(row.Left, row.Top, row.Width, row.Height);
        btn->setToolTip(Tr(row.Hint));
        // Its hint is its name for a screen reader. Tab reaches it; a click leaves the focus
        // where it was, in the key box as a rule.
        btn->setAccessibleName(Tr(row.Hint));
        btn->setFocusPolicy(Qt::TabFocus);
        this->*row.Field = btn;
    }

    KeyBox = new TKeyBox(this);
    KeyBox->setObjectName("KeyBox");
    KeyBox->setGeometry(64, 32, 193, 21);
    KeyBox->setFrame(false);
    KeyBox->setAccessibleName(Tr(QT_TRANSLATE_NOOP("MainForm", "Ключ")));
    PasswordStyle = new TPasswordCharStyle;
    PasswordStyle->setParent(KeyBox);
    KeyBox->setStyle(PasswordStyle);

    CheckBoxKill = new QCheckBox(Tr(QT_TRANSLATE_NOOP("MainForm", "Удалить исходный файл")), this);
    CheckBoxKill->setObjectName("CheckBoxKill");
    CheckBoxKill->setGeometry(16, 80, 161, 17);

    CheckBoxSFX =
        new QCheckBox(Tr(QT_TRANSLATE_NOOP("MainForm", "Создать SFX шифрованный файл")), this);
    CheckBoxSFX->setObjectName("CheckBoxSFX");
    CheckBoxSFX->setGeometry(16, 104, 161, 17);

    for (QWidget* w : std::initializer_list<QWidget*>{BackImage, LabelFilename, ProgressBar})
        w->setFocusPolicy(Qt::NoFocus);
    // The key and the two boxes first, as always; then the buttons of the bottom row from left
    // to right, the eye beside the key, and the window's own two.
    const std::initializer_list<QWidget*> order = {KeyBox,      CheckBoxKill, CheckBoxSFX, BtnCrypt,
                                                   BtnDeCrypt,  BtnKill,      BtnOpen,     BtnSee,
                                                   BtnMinimize, BtnClose};
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        setTabOrder(*it, *(it + 1));
    KeyBox->setFocus();

    OutcomeTimer = new QTimer(this);
    OutcomeTimer->setSingleShot(true);
    OutcomeTimer->setInterval(OutcomeShownMs);
    connect(OutcomeTimer, &QTimer::timeout, this, [this] { ShowSourceName(); });
    OnNotify = [](const QString& summary, const QString& body) {
        (void)Notifier::Notify(summary, body);
    };
}

void TForm1::BuildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    QMenu* file = PopupMenu1->addMenu(Tr(QT_TRANSLATE_NOOP("MainForm", "Файл")));
    N3 = file->menuAction();
    N4 = file->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Открыть")));
    N6 = file->addSeparator();
    N5 = file->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Выход")));
    QMenu* commands = PopupMenu1->addMenu(Tr(QT_TRANSLATE_NOOP("MainForm", "Команды")));
    N7 = commands->menuAction();
    N8 = commands->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Зашифровать")));
    N9 = commands->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Расшифровать")));
    N10 = commands->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Удалить")));
    QMenu* options = PopupMenu1->addMenu(Tr(QT_TRANSLATE_NOOP("MainForm", "Параметры")));
    N11 = options->menuAction();
    N1 = options->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Выбрать скин")));
    N2 = options->addAction(Tr(QT_TRANSLATE_NOOP("MainForm", "Выбрать SFX модуль")));

    const std::pair<QAction*, void (TForm1::*)()> handlers[] = {
        {N4, &TForm1::N4Click}, {N5, &TForm1::N5Click},   {N8, &TForm1::N8Click},
        {N9, &TForm1::N9Click}, {N10, &TForm1::N10Click}, {N1, &TForm1::N1Click},
        {N2, &TForm1::N2Click},
    };
    for (const auto& [action, handler] : handlers) {
        const auto h = handler;
        connect(action, &QAction::triggered, this,
                [this, h] { Guarded([this, h] { (this->*h)(); }); });
    }
    BackImage->PopupMenu = PopupMenu1;
}

void TForm1::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        Dialogs::ShowAppError(QString::fromUtf8(e.what()));
    }
}

void TForm1::SetClientSize(int width, int height) {
    resize(width, height);
    BackImage->setGeometry(0, 0, width, height);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    BackImage->setGeometry(0, 0, width(), height());
}

// ---- life cycle -----------------------------------------------------------------------------

void TForm1::FormCreate() {
    SourceFile.clear();
    TargetFile.clear();
    Dragging = false;
    AppDir = AppDirOverride.empty() ? ops::ExecutableDir() : AppDirOverride;
    const std::string dataDir = FindLocations(AppDir).DataDir;
    SkinFile = dataDir + "Skins/default/skin.ini";
    SfxModule = dataDir + "SFX/default.sfx";
    LoadSettings();
    // Said at once and not raised: the skin still loads.
    if (!ReadSfxModuleSize())
        Dialogs::ShowError(NotAModuleText(SfxModule));
    (void)LoadSkin();
}

bool TForm1::ReadSfxModuleSize() {
    // stat never opens the file: a pipe or a device named here cannot hold the window.
    struct stat st {};
    if (SfxModule.empty() || ::stat(SfxModule.c_str(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode))
        return false;
    (void)ops::ReadSfxModuleSize(SfxModule, SfxModuleSize);
    return true;
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Qt's offscreen platform never activates a window; the command line is examined once,
    // right after the window first shows, wherever it runs.
    QTimer::singleShot(0, this, [this] { ActivateWhenExposed(1000); });
}

void TForm1::ActivateWhenExposed(int triesLeft) {
    // A four-argument run holds the thread until it ends, and an X server maps, exposes and
    // gets the window painted only through the event loop: started before, the operation
    // would leave a black window with its gauge unseen. A window that is never exposed
    // (started minimised) gets its run all the same, after ten seconds.
    const QWindow* handle = windowHandle();
    if (!Activated && !Dialogs::Headless() && handle && !handle->isExposed() && triesLeft > 0) {
        QTimer::singleShot(10, this, [this, triesLeft] { ActivateWhenExposed(triesLeft - 1); });
        return;
    }
    ActivateOnce();
}

void TForm1::ActivateOnce() {
    if (Activated)
        return;
    Activated = true;
    Guarded([this] { FormActivate(); });
}

void TForm1::FormActivate() {
    if (Args.size() == 1) {
        if (FileExists(Args[0])) {
            // Every file dialog moves the working folder; the chosen file stays the one meant.
            SourceFile = Absolute(StartDir, Args[0]);
            ShowSourceName();
        } else {
            close();
            return;
        }
    } else if (Args.size() == 2 && Args[0] == OpenOption) {
        // A file the desktop hands over (a double click, open-with, a file manager's action) is
        // one the user points at where it lies: chosen as a dropped file is, its decrypted
        // file goes beside it, not into whatever folder the desktop was started in.
        if (!FileExists(Args[1])) {
            close();
            return;
        }
        SelectSourceFile(Absolute(StartDir, Args[1]));
    } else if (Args.size() == 4) {
        repaint();
        const std::string verb = UpperStr(Args[0]);
        const QString key = Q(Args[1]);
        bool ok = false;
        try {
            if (verb == "ENC")
                ok = EncryptFile(Args[2], Args[3], key);
            if (verb == "DEC")
                ok = DecryptFile(Args[2], Args[3], key);
        } catch (const std::exception& e) {
            Dialogs::ShowAppError(QString::fromUtf8(e.what()));
            ExitCode = 1;
            // Without a display nobody can use the window that stays open after an error.
            if (Dialogs::Headless())
                close();
            return;
        }
        ExitCode = (verb == "ENC" || verb == "DEC") ? (ok ? 0 : 1) : 2;
        close();
        return;
    }
    if (Dialogs::Headless()) {
        const QString text = Tr(QT_TRANSLATE_NOOP(
            "MainForm", "Calyxor: нет экрана, на котором показать окно. Без него работает только "
                        "командная строка: calyxor ENC|DEC ключ источник цель"));
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        ExitCode = 2;
        close();
    }
}

bool TForm1::FormClose() {
    KeyBox->ClearKey();
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        Dialogs::ShowAppError(QString::fromUtf8(e.what()));
        return Dialogs::Headless();
    }
    return true;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

// ---- settings ---------------------------------------------------------------------------------

void TForm1::LoadSettings() {
    TSettingsValues values{SkinFile, SfxModule};
    ParseSettings(ReadSettingsBytes(FindLocations(AppDir)), values);
    SkinFile = values.SkinFile;
    SfxModule = values.SfxModule;
}

void TForm1::SaveSettings() {
    ReplaceTextFile(SettingsPathForSaving(FindLocations(AppDir)),
                    FormatSettings({SkinFile, SfxModule}));
}

// ---- file operations ----------------------------------------------------------------------------

TSfxOptions TForm1::SfxOptions() const {
    return {CheckBoxSFX->isChecked(), SfxModule, SfxModuleSize};
}

void TForm1::Notice(const TNotice& notice) {
    Dialogs::ShowError(EngineText(notice.Text));
}

bool TForm1::ShowWarning(const ops::TOutcome& outcome) {
    if (outcome.Warning)
        Dialogs::ShowError(EngineText(outcome.Warning->Text));
    return outcome.Done;
}

bool TForm1::EncryptFile(const std::string& source, const std::string& target, const QString& key) {
    return ShowWarning(
        ops::EncryptFile(source, target, KeyOf(key), SfxOptions(), ProgressBar, this));
}

bool TForm1::DecryptFile(const std::string& source, const std::string& target, const QString& key) {
    return ShowWarning(ops::DecryptFile(source, target, KeyOf(key), ProgressBar, this));
}

bool TForm1::WipeFile(const std::string& path) {
    return ShowWarning(ops::WipeFile(path, SourceFile, ProgressBar, this));
}

// ---- commands -----------------------------------------------------------------------------------

void TForm1::BtnOpenClick() {
    OpenDialog1.Filter = Tr(QT_TRANSLATE_NOOP("MainForm", "Все файлы")) + "|*.*";
    if (!OpenDialog1.Execute(this))
        return;
    SourceFile = B(OpenDialog1.FileName);
    ShowSourceName();
}

void TForm1::BtnCryptClick() {
    if (KeyBox->text().isEmpty())
        return;
    TargetFile = EncryptTargetName(SourceFile, CheckBoxSFX->isChecked());
    if (!FileExists(SourceFile))
        return;
    // A key that cannot be used is refused before anything is asked about the target.
    const TSecretBytes key = KeyOf(KeyBox->text());
    // A source about to be wiped leaves only its encrypted copy: one typo in the key and no key
    // opens it again. The key is typed a second time before anything is written.
    if (CheckBoxKill->isChecked() && !ConfirmKey())
        return;
    if (!ConfirmReplace(TargetFile))
        return;
    const std::string source = SourceFile;
    const std::string target = TargetFile;
    const bool wipe = CheckBoxKill->isChecked();
    QElapsedTimer clock;
    clock.start();
    // With «Удалить исходный файл» the source goes only once its encrypted copy is complete and
    // on the device; what goes wrong on the way is shown as it happens, and what kept the
    // source in place once the command is over.
    if (!ShowWarning(
            ops::EncryptAndWipe(source, target, key, SfxOptions(), wipe, ProgressBar, this)))
        return;
    ShowOutcome(Tr(QT_TRANSLATE_NOOP("MainForm", "Зашифрован: %1")), target,
                wipe ? Tr(QT_TRANSLATE_NOOP("MainForm", "Исходный файл удалён: %1")).arg(Q(source))
                     : QString(),
                clock.elapsed());
}

void TForm1::BtnDeCryptClick() {
    if (KeyBox->text().isEmpty())
        return;
    TargetFile = DecryptTargetName(SourceFile);
    if (!FileExists(SourceFile))
        return;
    const TSecretBytes key = KeyOf(KeyBox->text());
    // From the window, an empty name would send the plain bytes to standard output.
    if (TargetFile.empty()) {
        Dialogs::ShowError(
            Tr(QT_TRANSLATE_NOOP("MainForm",
                                 "Не могу назвать расшифрованный файл: у «%1» нет расширения, "
                                 "которое можно убрать. Переименуйте его так, чтобы имя "
                                 "кончалось на .ash, и попробуйте снова."))
                .arg(Q(ExtractFileName(SourceFile))));
        return;
    }
    // The format has no key check: what a wrong key gives is seen in its first bytes, before
    // anything is written (and before the question about replacing a file with it).
    if (ops::JudgeDecryption(SourceFile, TargetFile, key) == TKeyVerdict::LooksWrong &&
        !Dialogs::AskYesNo(Tr(QT_TRANSLATE_NOOP(
            "MainForm", "Похоже, ключ неверный: расшифрованный файл не похож на обычный "
                        "файл. Всё равно расшифровать?"))))
        return;
    if (!ConfirmReplace(TargetFile))
        return;
    // The name is taken in the working folder; the outcome names the file where it landed.
    const std::string target = Absolute(CurrentDir(), TargetFile);
    QElapsedTimer clock;
    clock.start();
    if (!ShowWarning(ops::DecryptFile(SourceFile, TargetFile, key, ProgressBar, this)))
        return;
    ShowOutcome(Tr(QT_TRANSLATE_NOOP("MainForm", "Расшифрован: %1")), target, QString(),
                clock.elapsed());
}

void TForm1::ShowSourceName() {
    OutcomeTimer->stop();
    LabelFilename->setToolTip(QString());
    LabelFilename->setText(Q(ExtractFileName(SourceFile)));
}

void TForm1::ShowOutcome(const QString& what, const std::string& path, const QString& detail,
                         qint64 elapsedMs) {
    // In the label, never in a box: the user goes on at once. The name is shortened in its
    // middle to the label's width, so that its end, the extension, stays readable.
    const QString full = Q(path);
    const QString name = Q(ExtractFileName(path));
    const QFontMetrics metrics(LabelFilename->font());
    const int room = LabelFilename->width() - metrics.horizontalAdvance(what.arg(QString()));
    LabelFilename->setText(what.arg(metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 0))));
    const QString body = detail.isEmpty() ? full : full + "\n" + detail;
    LabelFilename->setToolTip(body);
    OutcomeTimer->start();
    if (elapsedMs < NotifyAfterMs || !OnNotify)
        return;
    // Whether the user went elsewhere during the run is known once the window system has told
    // the window so; the input that came meanwhile stays queued for after the command.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (isActiveWindow() && !isMinimized())
        return;
    OnNotify(what.arg(name), body);
}

bool TForm1::ConfirmKey() {
    QByteArray utf8 = KeyBox->text().toUtf8();
    const bool shortKey =
        ops::IsShortKey(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    SecureWipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
    const QString warning =
        shortKey ? Tr(QT_TRANSLATE_NOOP("MainForm", "Ключ короче %1 знаков: его легко подобрать."))
                       .arg(ops::ShortKeyLength)
                 : QString();
    std::optional<QString> again = Dialogs::AskKeyAgain(
        Tr(QT_TRANSLATE_NOOP("MainForm", "Исходный файл будет удалён. Введите &ключ ещё раз:")),
        warning, [](QWidget* parent) { return new TKeyBox(parent); });
    if (!again)
        return false;
    const bool same = *again == KeyBox->text();
    std::fill(again->begin(), again->end(), QChar(0));
    if (!same)
        Dialogs::ShowError(Tr(QT_TRANSLATE_NOOP(
            "MainForm", "Ключи не совпадают. Ничего не записано, исходный файл не тронут.")));
    return same;
}

bool TForm1::ConfirmReplace(const std::string& target) const {
    // A wrong key gives no error, only other bytes: replacing a good file with them must be the
    // user's choice. The source itself as the target is refused by the operation anyway.
    struct stat t {};
    if (target.empty() || ::lstat(target.c_str(), &t) != 0 || S_ISDIR(t.st_mode))
        return true;
    struct stat s {};
    if (::stat(target.c_str(), &t) == 0 && ::stat(SourceFile.c_str(), &s) == 0 &&
        t.st_dev == s.st_dev && t.st_ino == s.st_ino)
        return true;
    const std::string shown = Absolute(CurrentDir(), target);
    return Dialogs::AskYesNo(
        Tr(QT_TRANSLATE_NOOP("MainForm", "Файл «%1» уже существует. Заменить?")).arg(Q(shown)));
}

void TForm1::BtnKillClick() {
    if (SourceFile.empty())
        return;
    // The path as it was chosen, absolute; the label keeps naming the wiped file afterwards.
    const std::string wiped = Absolute(CurrentDir(), SourceFile);
    QElapsedTimer clock;
    clock.start();
    if (WipeFile(SourceFile))
        ShowOutcome(Tr(QT_TRANSLATE_NOOP("MainForm", "Удалён: %1")), wiped, QString(),
                    clock.elapsed());
}

void TForm1::N2Click() {
    OpenDialog1.Filter = Tr(QT_TRANSLATE_NOOP("MainForm", "Calyxor SFX Module")) + "|*.sfx";
    OpenDialog1.InitialDir = Q(ExtractFilePath(SfxModule));
    if (!OpenDialog1.Execute(this))
        return;
    const std::string previous = SfxModule;
    const int32_t previousSize = SfxModuleSize;
    SfxModule = B(OpenDialog1.FileName);
    if (!ReadSfxModuleSize()) {
        Dialogs::ShowError(NotAModuleText(SfxModule));
        SfxModule = previous;
        SfxModuleSize = previousSize;
    } else if (FileExists(SfxModule) && ops::SfxModuleProblem(SfxModule, SfxModuleSize)) {
        // Refused at once rather than at the next encryption, and the module in use stays.
        Dialogs::ShowError(NotAProgramText(SfxModule));
        SfxModule = previous;
        SfxModuleSize = previousSize;
    }
}

void TForm1::BtnCloseClick() {
    close();
}

void TForm1::BtnMinimizeClick() {
    showMinimized();
}
