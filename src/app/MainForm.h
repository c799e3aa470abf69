// SPDX-License-Identifier: MIT
#pragma once
// The main window: one borderless, skinned window that owns every control and all state and
// carries the program's operations as its own methods.

#include "app/Image.h"
#include "app/KeyBox.h"
#include "cipher/Notices.h"
#include "controls/Gauges.h"
#include "controls/VeskFade.h"
#include "ops/Operations.h"
#include "pictures/Picture.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QProxyStyle;
class QTimer;

// The open-file dialog the three choosers share.
struct TOpenDialog {
    QString Filter = QStringLiteral("Все файлы|*.*");
    QString InitialDir;
    QString FileName;
    // Shows the dialog; true when a file was confirmed. The process's working directory is then
    // the folder of that file, because the decrypt command's output lands in the working
    // directory, and users expect it beside the file they last chose.
    bool Execute(QWidget* parent);
};

// The window hears the notices of its file operations itself: each one is shown in the error
// dialog the moment it is given, and the operation goes on once the user has read it.
class TForm1 : public QWidget, private TNoticeReceiver {
    Q_OBJECT
public:
    // args: the command-line arguments after the program's own name, as bytes. appDir, when
    // given, stands in for the executable's folder (tests keep their settings apart that way).
    explicit TForm1(std::vector<std::string> args = {}, std::string appDir = {},
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- state ----
    std::string AppDir;
    std::string SkinFile;
    std::string SfxModule;
    int32_t SfxModuleSize = 0;
    std::string SourceFile;
    std::string TargetFile;
    int32_t DragX = 0;
    int32_t DragY = 0;
    bool Dragging = false;
    // The process's exit status: 0, or 1 after a command-line operation failed, 2 when four
    // arguments named no command.
    int ExitCode = 0;

    // ---- controls, bottom to top ----
    TImage* BackImage;
    QLabel* LabelFilename;
    TGauge* ProgressBar;
    TVeskFade* BtnClose;
    TVeskFade* BtnSee;
    TVeskFade* BtnOpen;
    TVeskFade* BtnCrypt;
    TVeskFade* BtnDeCrypt;
    TVeskFade* BtnKill;
    TVeskFade* BtnMinimize;
    TKeyBox* KeyBox;
    QCheckBox* CheckBoxKill;
    QCheckBox* CheckBoxSFX;
    QMenu* PopupMenu1;
    QAction *N1, *N2, *N3, *N4, *N5, *N6, *N7, *N8, *N9, *N10, *N11;
    TOpenDialog OpenDialog1;

    // ---- life cycle ----
    void FormCreate();
    void FormActivate();
    // Runs FormActivate the first time only: the command line is examined once per run.
    void ActivateOnce();
    // The folder the program was started in: a file named on the command line is found there.
    std::string StartDir;
    // False when the close is abandoned (the settings could not be written).
    bool FormClose();

    // ---- operations ----
    void LoadSettings();
    void SaveSettings();
    bool LoadSkin();
    bool EncryptFile(const std::string& source, const std::string& target, const QString& key);
    bool DecryptFile(const std::string& source, const std::string& target, const QString& key);
    bool WipeFile(const std::string& path);

    // ---- commands ----
    void BtnOpenClick();
    void BtnCryptClick();
    void BtnDeCryptClick();
    void BtnKillClick();
    void BtnCloseClick();
    void BtnMinimizeClick();
    // The keyboard's and assistive technology's eye: shows the key until it is pressed again
    // (or the window is left), since a key cannot be held while typing.
    void ToggleKeyShown();
    void N1Click();
    void N2Click();
    void N4Click() { BtnOpenClick(); }
    void N5Click() { BtnCloseClick(); }
    void N8Click() { BtnCryptClick(); }
    void N9Click() { BtnDeCryptClick(); }
    void N10Click() { BtnKillClick(); }

    // ---- window chrome ----
    void BackImageMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void BackImageMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void BackImageMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // The key box's password character; a null character shows the key as typed.
    void SetPasswordChar(QChar c);
    [[nodiscard]] QChar PasswordChar() const { return FPasswordChar; }

    // Sets the client area's size (the window has no border, so it is the window's size).
    void SetClientSize(int width, int height);

    // Runs an event handler, showing any error that escapes it in the application's error box.
    void Guarded(const std::function<void()>& handler);

    // ---- desktop: dropped files and keys ----
    // Makes path the file the commands work on, as the open command's choice does, working
    // folder included.
    void SelectSourceFile(const std::string& path);
    // The first regular local file among dropped urls; empty when there is none.
    [[nodiscard]] static std::string DroppedFile(const QList<QUrl>& urls);
    // Runs a button's command for its key, the button pressed while the command runs.
    void RunFromKey(TVeskFade* button, void (TForm1::*command)());
    // Opens the background menu where the keyboard's user is looking: below the key box when
    // it has the focus, else at the window's centre.
    void PopupFromKey();

    // ---- what a command did ----
    // How long an operation runs before its end is also told by a desktop notification, when
    // the window is not the one the user is looking at.
    static constexpr int NotifyAfterMs = 3000;
    // How long the label tells the outcome before it names the chosen file again.
    static constexpr int OutcomeShownMs = 6000;
    // The label names the output for a while, with its full path as the hint (and as the
    // notification's text after a long run).
    void ShowOutcome(const QString& what, const std::string& path, const QString& detail,
                     qint64 elapsedMs);
    // The label names the chosen file again.
    void ShowSourceName();
    // Sends the desktop notification; tests look at what would have been sent.
    std::function<void(const QString& summary, const QString& body)> OnNotify;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void BindButtons();
    void BindKeys();
    void ApplySkinSetting(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& skinDir);
    static void SetTextColor(QWidget* w, QPalette::ColorRole role, TColor color);
    // False when the module names something that is not a file (a folder, a pipe, a device):
    // its size is then not taken.
    bool ReadSfxModuleSize();
    // True when the key typed a second time is the key box's; a different one, or none, writes
    // nothing, and a different one says so.
    [[nodiscard]] bool ConfirmKey();
    // True when target may be written: it does not exist yet, or the user agreed to replace it.
    [[nodiscard]] bool ConfirmReplace(const std::string& target) const;
    // Runs ActivateOnce once the window is on the screen and painted.
    void ActivateWhenExposed(int triesLeft);
    // Shows the key masked again, with the eye button at rest.
    void MaskKey();
    [[nodiscard]] TSfxOptions SfxOptions() const;
    void Notice(const TNotice& notice) override;
    // The program's own warning about a finished operation, in the error dialog; its result.
    bool ShowWarning(const ops::TOutcome& outcome);

    std::vector<std::string> Args;
    std::string AppDirOverride;
    bool Activated = false;
    QTimer* OutcomeTimer = nullptr;
    QChar FPasswordChar = QLatin1Char('#');
    QProxyStyle* PasswordStyle = nullptr;
};

// The window of this run.
extern TForm1* Form1;

// True when the path names an existing file; a folder does not count.
[[nodiscard]] bool FileExists(const std::string& path);
