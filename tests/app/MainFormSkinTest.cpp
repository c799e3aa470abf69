// SPDX-License-Identifier: MIT
// Skins on the real window: which lines count, what each section does to the control it names,
// and what a bad skin leaves behind.

#include "support/MainFormFixture.h"

#include <QMouseEvent>

namespace fs = std::filesystem;

namespace {

TEST_F(MainFormTest, skin_markerMustBeExact) {
    UseShippedFiles();
    TForm1& f = Make();
    const QRect before = f.KeyBox->geometry();
    for (const std::string marker :
         {"<CALYXOR SKIN FILE> ", "<calyxor skin file>", "\xEF\xBB\xBF<CALYXOR SKIN FILE>"}) {
        WriteAll(Dir / "bad.ini", Bytes(marker + "\r\n[KEYBOX]\r\nLEFT=1\r\n"));
        const std::string previous = f.SkinFile;
        Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "bad.ini"));
        f.N1Click();
        EXPECT_EQ(f.SkinFile, previous);
        EXPECT_EQ(f.KeyBox->geometry(), before);
    }
    EXPECT_EQ(Dialogs::LastOpenFilter(), "Calyxor skin file|*.ini");
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MainFormTest, skin_sectionsKeysAndValuesFollowTheLineRules) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("s.ini", "LEFT=5\r\n" // before any section: ignored
                       "[KeyBox]\r\nLeft=11\r\nTOP =99\r\nWIDTH=\r\nHEIGHT=$20\r\n"
                       "[KEYBOX] \r\nTOP=77\r\n" // trailing blank: unknown section
                       "[BTNKILL]\r\nWIDTH=99\r\nLEFT=x10\r\nBACKGROUND=none.bmp\r\n"
                       "[PROGRESSBAR]\r\nCOLOR=$00112233\r\nBACKCOLOR=0X445566\r\nFONTSIZE=12\r\n"
                       "[LabelFilename]\r\nWIDTH=50\r\nBACKCOLOR=1\r\n");
    f.SkinFile = Dir / "s.ini";
    EXPECT_TRUE(f.LoadSkin());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(f.KeyBox->geometry(), QRect(11, 32, 193, 32));
    EXPECT_EQ(f.BtnKill->geometry(), QRect(16, 136, 35, 17));
    EXPECT_EQ(f.ProgressBar->ForeColor(), 0x00112233u);
    EXPECT_EQ(f.ProgressBar->BackColor(), 0x445566u);
    EXPECT_EQ(f.ProgressBar->font().pointSize(), 12);
    EXPECT_EQ(f.LabelFilename->width(), 50);
}

TEST_F(MainFormTest, skin_badNumberStopsTheLoadWithEarlierLinesApplied) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("s.ini", "[KEYBOX]\r\nLEFT=21\r\nTOP=32 \r\nWIDTH=70\r\n");
    f.SkinFile = Dir / "s.ini";
    try {
        (void)f.LoadSkin();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'32 ' is not a valid integer value");
    }
    EXPECT_EQ(f.KeyBox->geometry(), QRect(21, 32, 193, 21));
}

TEST_F(MainFormTest, skin_missingPictureKeepsTheOldOneAndTheLinesBefore) {
    TForm1& f = Make();
    MakeBmp(Dir / "up.bmp", 20, 10, Qt::blue);
    WriteSkin("one.ini", "[BTNOPEN]\r\nPICTUREUP=up.bmp\r\n");
    f.SkinFile = Dir / "one.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.BtnOpen->size(), QSize(20, 10));

    Shown.clear();
    WriteSkin("two.ini", "[BTNOPEN]\r\nLEFT=3\r\nPICTUREUP=missing.bmp\r\nTOP=4\r\n");
    f.SkinFile = Dir / "two.ini";
    Dialogs::QueueOpenFileAnswer(QString::fromStdString(Dir / "two.ini"));
    f.Guarded([&] { f.N1Click(); }); // as the menu runs it
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], "Calyxor: Cannot open file " + (Dir / "missing.bmp") + ".");
    EXPECT_EQ(f.SkinFile, Dir / "two.ini"); // only a false result restores the old path
    EXPECT_EQ(f.BtnOpen->pos(), QPoint(3, 136));
    EXPECT_EQ(f.BtnOpen->size(), QSize(20, 10));
    EXPECT_EQ(f.BtnOpen->PicFrom().Width(), 20);
}

TEST_F(MainFormTest, skin_placesAndSizesStayWithinAScreen) {
    TForm1& f = Make();
    Shown.clear();
    WriteSkin("huge.ini", "[KEYBOX]\r\nLEFT=2147483647\r\nTOP=-2147483648\r\n"
                          "WIDTH=2000000000\r\nHEIGHT=-7\r\nFONTSIZE=$7FFFFFFF\r\n"
                          "[PROGRESSBAR]\r\nWIDTH=$7FFFFFFF\r\nHEIGHT=99999\r\n"
                          "[BTNKILL]\r\nLEFT=-99999\r\nTOP=99999\r\n");
    f.SkinFile = Dir / "huge.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(f.KeyBox->geometry(), QRect(16384, -16384, 16384, 0));
    EXPECT_LE(f.KeyBox->font().pointSize(), 4096);
    EXPECT_EQ(f.ProgressBar->size(), QSize(16384, 16384));
    EXPECT_EQ(f.BtnKill->pos(), QPoint(-16384, 16384));
}

TEST_F(MainFormTest, skin_backgroundSizesTheWindowAndPathsAreRelative) {
    TForm1& f = Make();
    Shown.clear();
    fs::create_directory(Dir / "pics");
    MakeBmp(Dir / "pics/back.bmp", 400, 200, Qt::darkGreen);
    WriteSkin("big.ini", "[MAINFORM]\r\nBACKGROUND=pics\\back.bmp\r\n");
    f.move(10, 20);
    f.SkinFile = Dir / "big.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(400, 200));
    EXPECT_EQ(f.BackImage->geometry(), QRect(0, 0, 400, 200));
    EXPECT_EQ(f.pos(), QPoint(10, 20));

    // A bare skin name: pictures are found relative to the working folder.
    fs::create_directory(Dir / "cwd");
    fs::create_directory(Dir / "cwd/pics");
    MakeBmp(Dir / "cwd/pics/back.bmp", 123, 45, Qt::gray);
    fs::copy(Dir / "big.ini", Dir / "cwd/big.ini");
    fs::current_path(Dir / "cwd");
    f.SkinFile = "big.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(123, 45));

    // A skin without a background keeps the size.
    WriteSkin("plain.ini", "[KEYBOX]\r\nLEFT=1\r\n");
    f.SkinFile = Dir / "plain.ini";
    ASSERT_TRUE(f.LoadSkin());
    EXPECT_EQ(f.size(), QSize(123, 45));
    EXPECT_TRUE(Shown.empty());
}

// Each button's own section moves it and gives it its pictures, and touches no other button;
// a width in a button's section is ignored, the button takes its picture's size.
TEST_F(MainFormTest, skin_eachButtonSectionDressesTheButtonItNames) {
    struct Row {
        const char* Section;
        QPoint Place;
        const char* Hint;
    };
    const Row rows[] = {
        {"[BtnClose]", {256, 8}, "Закрыть"},
        {"[BTNMINIMIZE]", {216, 8}, "Свернуть"},
        {"[BTNSEE]", {264, 32}, "Просмотреть ключ"},
        {"[BTNOPEN]", {192, 136}, "Выбрать файл"},
        {"[BTNCRYPT]", {8, 136}, "Зашифровать файл"},
        {"[btndecrypt]", {72, 136}, "Расшифровать файл"},
        {"[BTNKILL]", {128, 136}, "Удалить файл"},
    };
    MakeBmp(Dir / "up.bmp", 20, 10, Qt::blue);
    MakeBmp(Dir / "down.bmp", 20, 10, Qt::yellow);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Section);
        TForm1& f = MakeUnskinned();
        WriteSkin("s.ini", std::string(row.Section) +
                               "\r\nLEFT=100\r\nTOP=60\r\nWIDTH=99\r\n"
                               "PICTUREUP=up.bmp\r\nPICTUREDOWN=down.bmp\r\n");
        f.SkinFile = Dir / "s.ini";
        ASSERT_TRUE(f.LoadSkin());
        EXPECT_TRUE(Shown.empty());

        auto* moved = qobject_cast<TVeskFade*>(f.childAt(105, 65));
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(moved->toolTip(), row.Hint);
        EXPECT_EQ(moved->geometry(), QRect(100, 60, 20, 10));
        EXPECT_EQ(f.childAt(row.Place + QPoint(2, 14)), f.BackImage);
        for (const Row& other : rows) {
            if (&other == &row)
                continue;
            EXPECT_EQ(f.childAt(other.Place + QPoint(2, 14))->toolTip(), other.Hint);
        }

        // At rest the up picture shows; a press fades to the down picture.
        const auto colour = [&] {
            return f.grab().toImage().pixelColor(105, 65).rgb() & 0xFFFFFFu;
        };
        EXPECT_EQ(colour(), 0x0000FFu);
        TInstantClock clock;
        moved->SetClock(&clock);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5),
                          moved->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(moved, &press);
        EXPECT_EQ(colour(), 0xFFFF00u);
        moved->SetClock(nullptr);
    }
}

} // namespace
