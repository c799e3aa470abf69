// SPDX-License-Identifier: MIT
// The window as its user meets it: what lies where, what a click there runs, what the menu's
// entries run, and how the built-in window looks before a skin dresses it.

#include "support/MainFormFixture.h"
#include "support/ReferenceCipher.h"

#include <QMouseEvent>
#include <algorithm>
#include <functional>

namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> Data = DocumentBytes(3000, 21);

// A command as the user sees it work: Arrange readies the window and the folder, Check looks at
// the outcome once the command has run.
struct TCommand {
    std::string Name;
    std::function<void(const TTempDir&, TForm1&)> Arrange;
    std::function<void(const TTempDir&, TForm1&)> Check;
};

const TCommand Commands[] = {
    {"open",
     [](const TTempDir& dir, TForm1&) {
         fs::create_directory(dir / "docs");
         WriteAll(dir / "docs/picked.doc", Data);
         Dialogs::QueueOpenFileAnswer(QString::fromStdString(dir / "docs/picked.doc"));
     },
     [](const TTempDir&, TForm1& f) {
         EXPECT_EQ(Dialogs::LastOpenFilter(), "Все файлы|*.*");
         EXPECT_EQ(f.LabelFilename->text(), "picked.doc");
     }},
    {"close", [](const TTempDir&, TForm1&) {},
     [](const TTempDir&, TForm1& f) {
         EXPECT_FALSE(f.isVisible());
         EXPECT_EQ(f.KeyBox->text(), "");
     }},
    {"minimise", [](const TTempDir&, TForm1&) {},
     [](const TTempDir&, TForm1& f) { EXPECT_TRUE(f.isMinimized()); }},
    {"encrypt",
     [](const TTempDir& dir, TForm1& f) {
         WriteAll(dir / "plain.txt", Data);
         f.SourceFile = dir / "plain.txt";
     },
     [](const TTempDir& dir, TForm1&) {
         EXPECT_EQ(ReadAll(dir / "plain.txt.ash"), ref::transform(Bytes("k"), Data, true));
     }},
    {"decrypt",
     [](const TTempDir& dir, TForm1& f) {
         WriteAll(dir / "sealed.ash", ref::transform(Bytes("k"), Data, true));
         f.SourceFile = dir / "sealed.ash";
     },
     [](const TTempDir& dir, TForm1&) { EXPECT_EQ(ReadAll(dir / "sealed"), Data); }},
    {"wipe",
     [](const TTempDir& dir, TForm1& f) {
         WriteAll(dir / "gone.bin", Data);
         f.SourceFile = dir / "gone.bin";
     },
     [](const TTempDir& dir, TForm1&) { EXPECT_FALSE(fs::exists(dir / "gone.bin")); }},
    {"skin",
     [](const TTempDir& dir, TForm1&) {
         WriteAll(dir / "moved.ini", Bytes("<CALYXOR SKIN FILE>\r\n[KEYBOX]\r\nLEFT=70\r\n"));
         Dialogs::QueueOpenFileAnswer(QString::fromStdString(dir / "moved.ini"));
     },
     [](const TTempDir&, TForm1& f) {
         EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor skin file|*.ini");
         EXPECT_EQ(f.KeyBox->x(), 70);
     }},
    {"module",
     [](const TTempDir& dir, TForm1&) {
         fs::copy_file(CALYXOR_BUILD_DIR "/SFX/default.sfx", dir / "other.sfx");
         Dialogs::QueueOpenFileAnswer(QString::fromStdString(dir / "other.sfx"));
     },
     [](const TTempDir& dir, TForm1& f) {
         EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor SFX Module|*.sfx");
         EXPECT_EQ(f.SfxModuleSize, static_cast<int32_t>(fs::file_size(dir / "other.sfx")));
     }},
    // The eye button's click runs nothing: the window stays as it was.
    {"nothing", [](const TTempDir&, TForm1&) {},
     [](const TTempDir& dir, TForm1& f) {
         EXPECT_TRUE(f.isVisible());
         EXPECT_FALSE(f.isMinimized());
         EXPECT_EQ(f.LabelFilename->text(), "");
         EXPECT_EQ(f.KeyBox->text(), "k");
         EXPECT_EQ(fs::current_path(), fs::path(dir.Path));
         EXPECT_FALSE(fs::exists(dir / "calyxor.ini"));
     }},
};

class CommandTest : public MainFormTest {
protected:
    // Runs the command's case around run, on a window made afresh in the fixture's folder.
    void Exercise(const std::string& name, const std::function<void(TForm1&)>& run) {
        SCOPED_TRACE(name);
        const auto command = std::find_if(std::begin(Commands), std::end(Commands),
                                          [&](const TCommand& c) { return c.Name == name; });
        ASSERT_NE(command, std::end(Commands));
        fs::current_path(Dir.Path);
        TForm1& f = MakeUnskinned();
        f.show();
        f.KeyBox->setText("k");
        command->Arrange(Dir, f);
        run(f);
        command->Check(Dir, f);
        EXPECT_TRUE(Shown.empty()) << Shown.front();
    }
};

// The control a click at this point of the window lands on.
QWidget* At(TForm1& f, QPoint p) {
    return f.childAt(p);
}

// Clicks inside place land on w, and clicks just outside its edges do not.
void ExpectOccupies(TForm1& f, const QWidget* w, QRect place) {
    const QPoint in[] = {place.topLeft(), place.bottomRight(), place.center()};
    for (QPoint p : in)
        EXPECT_EQ(At(f, p), w) << p.x() << "," << p.y();
    const QPoint out[] = {place.topLeft() - QPoint(1, 0), place.topLeft() - QPoint(0, 1),
                          place.bottomRight() + QPoint(1, 0), place.bottomRight() + QPoint(0, 1)};
    for (QPoint p : out)
        EXPECT_NE(At(f, p), w) << p.x() << "," << p.y();
}

void Send(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButtons held) {
    QMouseEvent event(type, local, w->mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

struct TButtonPlace {
    QRect Place;
    const char* Hint;
    const char* Command;
    bool RevealsKey;
};

const TButtonPlace ButtonPlaces[] = {
    {{256, 8, 33, 17}, "Закрыть", "close", false},
    {{216, 8, 33, 17}, "Свернуть", "minimise", false},
    {{264, 32, 35, 17}, "Просмотреть ключ", "nothing", true},
    {{192, 136, 35, 17}, "Выбрать файл", "open", false},
    {{8, 136, 35, 17}, "Зашифровать файл", "encrypt", false},
    {{72, 136, 35, 17}, "Расшифровать файл", "decrypt", false},
    {{128, 136, 35, 17}, "Удалить файл", "wipe", false},
};

TEST_F(CommandTest, eachButtonHasItsPlaceAndHint_aClickThereRunsItsCommand) {
    for (const TButtonPlace& row : ButtonPlaces) {
        SCOPED_TRACE(row.Hint);
        Exercise(row.Command, [&](TForm1& f) {
            auto* button = qobject_cast<TVeskFade*>(At(f, row.Place.center()));
            ASSERT_NE(button, nullptr);
            ExpectOccupies(f, button, row.Place);
            EXPECT_EQ(button->toolTip(), row.Hint);

            TInstantClock clock;
            button->SetClock(&clock);
            const QPoint local = button->mapFrom(&f, row.Place.center());
            Send(button, QEvent::MouseButtonPress, local, Qt::LeftButton);
            // The press plays the whole fade: 33 frames, 5 ms apart.
            EXPECT_EQ(clock.Now, 165);
            // Only the eye shows the key, and only while it is held.
            EXPECT_EQ(f.KeyBox->displayText() == f.KeyBox->text(), row.RevealsKey);
            Send(button, QEvent::MouseButtonRelease, local, Qt::NoButton);
            EXPECT_NE(f.KeyBox->displayText(), "k");
            button->SetClock(nullptr);
        });
    }
}

struct TMenuEntry {
    const char* Path; // submenu/entry; "-" stands for a separator
    const char* Command;
};

const TMenuEntry MenuEntries[] = {
    {"Файл/Открыть", "open"},
    {"Файл/-", nullptr},
    {"Файл/Выход", "close"},
    {"Команды/Зашифровать", "encrypt"},
    {"Команды/Расшифровать", "decrypt"},
    {"Команды/Удалить", "wipe"},
    {"Параметры/Выбрать скин", "skin"},
    {"Параметры/Выбрать SFX модуль", "module"},
};

// The background menu's entries as the user reads them, in order.
std::vector<std::pair<std::string, QAction*>> MenuOf(const TForm1& f) {
    std::vector<std::pair<std::string, QAction*>> entries;
    for (QAction* top : f.PopupMenu1->actions()) {
        if (!top->menu()) {
            entries.emplace_back(top->text().toStdString(), top);
            continue;
        }
        for (QAction* a : top->menu()->actions())
            entries.emplace_back(top->text().toStdString() + "/" +
                                     (a->isSeparator() ? "-" : a->text().toStdString()),
                                 a);
    }
    return entries;
}

TEST_F(CommandTest, menuEntriesStandInOrder_eachRunsItsCommand) {
    std::vector<std::string> paths;
    for (const auto& [path, action] : MenuOf(MakeUnskinned()))
        paths.push_back(path);
    std::vector<std::string> expected;
    for (const TMenuEntry& e : MenuEntries)
        expected.emplace_back(e.Path);
    EXPECT_EQ(paths, expected);

    for (const TMenuEntry& e : MenuEntries) {
        if (!e.Command)
            continue;
        SCOPED_TRACE(e.Path);
        Exercise(e.Command, [&](TForm1& f) {
            for (const auto& [path, action] : MenuOf(f))
                if (path == e.Path)
                    action->trigger();
        });
    }
}

// What the user sees of the window before any skin: the built-in places, colours and texts.
TEST_F(CommandTest, withoutSettingsFile_theBuiltInWindowOpens) {
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
    EXPECT_EQ(At(f, {0, 0}), f.BackImage);
    EXPECT_EQ(At(f, {299, 164}), f.BackImage);

    // The label runs on under the minimise button, which covers its right end.
    ExpectOccupies(f, f.LabelFilename, {88, 8, 128, 9});
    ExpectOccupies(f, f.ProgressBar, {216, 112, 65, 17});
    ExpectOccupies(f, f.KeyBox, {64, 32, 193, 21});
    EXPECT_EQ(f.LabelFilename->text(), "");
    EXPECT_FALSE(f.KeyBox->hasFrame());
    f.KeyBox->setText("ключ");
    EXPECT_EQ(f.KeyBox->displayText(), "####");
    // The keyboard goes from the key box to the two boxes, in the order they stand.
    EXPECT_EQ(f.KeyBox->nextInFocusChain(), f.CheckBoxKill);
    EXPECT_EQ(f.CheckBoxKill->nextInFocusChain(), f.CheckBoxSFX);

    // A click on a box's place checks that box and no other.
    const std::pair<QCheckBox*, QRect> boxes[] = {
        {f.CheckBoxKill, {16, 80, 161, 17}},
        {f.CheckBoxSFX, {16, 104, 161, 17}},
    };
    const char* const captions[] = {"Удалить исходный файл", "Создать SFX шифрованный файл"};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        const auto& [box, place] = boxes[i];
        ExpectOccupies(f, box, place);
        EXPECT_EQ(box->text(), captions[i]);
        EXPECT_FALSE(box->isChecked());
        const QPoint onIndicator = box->mapFrom(&f, QPoint(place.left() + 6, place.center().y()));
        Send(box, QEvent::MouseButtonPress, onIndicator, Qt::LeftButton);
        Send(box, QEvent::MouseButtonRelease, onIndicator, Qt::NoButton);
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
    }

    // Without pictures a button at rest is a plain dark red; the gauge fills red on lime with
    // no border.
    f.ProgressBar->SetProgress(50);
    const QImage look = f.grab().toImage();
    const auto colour = [&](QPoint p) { return look.pixelColor(p).rgb() & 0xFFFFFFu; };
    for (const TButtonPlace& row : ButtonPlaces)
        EXPECT_EQ(colour(row.Place.center()), 0x800000u) << row.Hint;
    EXPECT_EQ(colour({216, 112}), 0xFF0000u);
    EXPECT_EQ(colour({280, 128}), 0x00FF00u);
}

} // namespace
