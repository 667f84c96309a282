// Pixels and behaviour of the skinned dialog, button and static text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "SkinTestImages.h"
#include "skin/CLuButton.h"
#include "skin/CLuDialog.h"
#include "skin/CLuStatic.h"

namespace {

bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// A static that counts its paints.
class CountingStatic : public CLuStatic {
  public:
    using CLuStatic::CLuStatic;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CLuStatic::paintEvent(event);
    }
};

}  // namespace

TEST(CLuDialogTest, WithoutImageOrParentPaintsBlack) {
    CLuDialog dialog;
    dialog.resize(40, 30);
    const QImage shot = Shot(dialog);
    for (QPoint p : {QPoint(0, 0), QPoint(20, 15), QPoint(39, 29)})
        EXPECT_EQ(shot.pixel(p), kBlack);
}

TEST(CLuDialogTest, ChildrenOverATiledBackgroundShowExactlyTheTilePixels) {
    const QImage tile = MakePattern(30, 20);
    CLuDialog dialog;
    dialog.resize(200, 20);
    dialog.SetBackground(tile, 0, 0, 30, 20, CLuDialog::kTile);
    CLuDialog panel(&dialog, Qt::Widget);  // a child panel without its own image
    panel.setGeometry(40, 0, 100, 20);
    CLuStatic direct(&dialog);
    direct.setGeometry(47, 0, 40, 20);  // crosses the tile edge at 60
    CLuStatic nested(&panel);
    nested.setGeometry(25, 0, 50, 20);  // dialog x 65..114
    const QImage a = Shot(direct);
    const QImage b = Shot(nested);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) ASSERT_EQ(a.pixel(x, y), tile.pixel((47 + x) % 30, y)) << x;
        for (int x = 0; x < 50; ++x) ASSERT_EQ(b.pixel(x, y), tile.pixel((65 + x) % 30, y)) << x;
    }
}

TEST(CLuDialogTest, PanelWindowOverItsOwnerShowsTheOwnersPixelsBehindIt) {
    const QImage pattern = MakePattern(200, 120);
    CLuDialog owner(nullptr, Qt::FramelessWindowHint);
    owner.setGeometry(100, 100, 200, 120);
    owner.SetBackground(pattern, 0, 0, 200, 120, 0);
    CLuDialog panel(&owner, Qt::Window | Qt::FramelessWindowHint);  // like the About panel
    panel.setGeometry(110, 194, 60, 20);
    owner.show();
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_EQ(panel.mapToGlobal(QPoint(0, 0)), QPoint(110, 194));
    const QImage shot = Shot(panel);
    for (int y = 0; y < 20; y += 3) {
        for (int x = 0; x < 60; x += 3) ASSERT_EQ(shot.pixel(x, y), pattern.pixel(10 + x, 94 + y));
    }
}

TEST(CLuDialogTest, StretchedImageFillsTheClientAndResizingRebuildsTheCache) {
    CLuDialog dialog;
    dialog.resize(20, 10);
    dialog.SetBackground(MakeStrip({kRed, kBlue}, 2, 1), 0, 0, 2, 1, 0);
    EXPECT_EQ(dialog.BackgroundCache().size(), QSize(20, 10));
    EXPECT_EQ(Shot(dialog).pixel(2, 5), kRed);
    EXPECT_EQ(Shot(dialog).pixel(17, 5), kBlue);
    dialog.resize(40, 10);
    EXPECT_EQ(dialog.BackgroundCache().size(), QSize(40, 10));
    EXPECT_EQ(Shot(dialog).pixel(35, 5), kBlue);
}

class CLuButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.resize(300, 100);
        dialog.SetFillColor(0xFF102030);
        for (CLuButton* button : {&first, &second}) {
            ASSERT_EQ(button->SetImages(strip, 0, 0, 400, 20, 4), 1);
            button->resize(button->FaceSize());
        }
        first.move(10, 10);
        second.move(150, 10);
    }
    QImage strip = MakeStrip({kRed, kGreen, kBlue, kYellow}, 400, 20);
    CLuDialog dialog;
    CLuButton first{&dialog};
    CLuButton second{&dialog};
};

TEST_F(CLuButtonTest, SizedFromAFourCellStripAndSixCellsSetNothing) {
    EXPECT_EQ(first.size(), QSize(100, 20));
    EXPECT_EQ(first.SetImages(MakeStrip({kBlue}, 600, 20), 0, 0, 600, 20, 6), 0);
    EXPECT_EQ(Shot(first).pixel(50, 10), kRed);
}

TEST_F(CLuButtonTest, DisabledDrawsCellThreeWhateverThePointerDoes) {
    first.setEnabled(false);
    EXPECT_EQ(Shot(first).pixel(50, 10), kYellow);
    ASSERT_TRUE(ShowActive(dialog));
    QTest::mouseMove(&first, QPoint(50, 10));
    QTest::mousePress(&first, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_FALSE(first.IsHovered());
    EXPECT_EQ(Shot(first).pixel(50, 10), kYellow);
    QTest::mouseRelease(&first, Qt::LeftButton, {}, QPoint(50, 10));
}

TEST_F(CLuButtonTest, HighlightFollowsThePointerAndStaysOverTheBackground) {
    first.SetNotifyOnEnter(true);
    first.SetControlId(1007);
    QSignalSpy entered(&first, &CLuButton::pointerEntered);
    ASSERT_TRUE(ShowActive(dialog));
    QTest::mouseMove(&first, QPoint(30, 5));
    EXPECT_TRUE(first.IsHovered());
    EXPECT_TRUE(first.hasFocus());
    EXPECT_EQ(Shot(first).pixel(50, 10), kGreen);
    ASSERT_EQ(entered.count(), 1);
    EXPECT_EQ(entered[0][0].toInt(), 1007);
    EXPECT_EQ(entered[0][1].toPoint(), QPoint(30, 5));
    QTest::mouseMove(&first, QPoint(60, 6));  // still inside: no second notice
    EXPECT_EQ(entered.count(), 1);

    QTest::mouseMove(&second, QPoint(50, 10));
    EXPECT_TRUE(second.IsHovered());
    EXPECT_FALSE(first.IsHovered());
    EXPECT_EQ(Shot(first).pixel(50, 10), kRed);

    QTest::mouseMove(&dialog, QPoint(5, 80));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(5, 80));
    EXPECT_TRUE(second.IsHovered());
    EXPECT_EQ(Shot(second).pixel(50, 10), kGreen);
}

TEST_F(CLuButtonTest, HighlightSurvivesFocusGoingToTheParentButNotDeactivation) {
    ASSERT_TRUE(ShowActive(dialog));
    QTest::mouseMove(&first, QPoint(30, 5));
    ASSERT_TRUE(first.IsHovered());
    dialog.setFocus();  // the parent takes the focus: keep-focus takes it back
    EXPECT_TRUE(first.IsHovered());
    QCoreApplication::processEvents();
    EXPECT_TRUE(first.hasFocus());

    first.SetKeepFocus(false);
    dialog.setFocus();
    EXPECT_FALSE(first.IsHovered());

    QTest::mouseMove(&second, QPoint(30, 5));
    ASSERT_TRUE(second.IsHovered());
    CLuDialog other;
    other.resize(50, 50);
    ASSERT_TRUE(ShowActive(other));
    EXPECT_FALSE(second.IsHovered());
}

// The mouse, Space (down on the press, clicked on the release) and Enter
// press the focused button; Enter never reaches the dialog, where it would
// click the default button.
TEST_F(CLuButtonTest, MouseSpaceAndEnterPressOnlyTheFocusedButton) {
    QPushButton fallback(&dialog);
    fallback.setDefault(true);
    fallback.setGeometry(10, 60, 50, 20);
    QSignalSpy clicked(&first, &QAbstractButton::clicked);
    QSignalSpy fellBack(&fallback, &QAbstractButton::clicked);
    ASSERT_TRUE(ShowActive(dialog));
    QTest::mousePress(&first, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(Shot(first).pixel(50, 10), kBlue);
    QTest::mouseRelease(&first, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(clicked.count(), 1);

    first.setFocus();
    QTest::keyPress(&first, Qt::Key_Space);
    EXPECT_EQ(Shot(first).pixel(50, 10), kBlue);
    EXPECT_EQ(clicked.count(), 1);
    QTest::keyRelease(&first, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 2);
    QTest::keyClick(&first, Qt::Key_Return);
    QTest::keyClick(&first, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicked.count(), 4);
    for (auto key : {Qt::Key_Down, Qt::Key_Home, Qt::Key_PageDown}) QTest::keyClick(&first, key);
    EXPECT_EQ(clicked.count(), 4);
    EXPECT_TRUE(first.hasFocus());
    EXPECT_EQ(fellBack.count(), 0);
    QTest::keyClick(&first, Qt::Key_Tab);
    EXPECT_TRUE(second.hasFocus());
}

// The dotted mark (normal caption colour, every other pixel four pixels in)
// shows for the focus that came from the keyboard, never for the focus the
// pointer gave: those pixels stay as the face draws them.
TEST_F(CLuButtonTest, FocusMarkShowsOnlyForTheKeyboardsFocus) {
    first.SetTextColors(0x6F00FFFF, kBlack, kBlack, kBlack, false);
    ASSERT_TRUE(ShowActive(dialog));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(5, 80));
    first.clearFocus();  // the window may have opened on it
    QTest::mouseMove(&first, QPoint(50, 10));
    ASSERT_TRUE(first.hasFocus());
    EXPECT_EQ(Shot(first).pixel(4, 4), kGreen);
    QTest::mouseClick(&first, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(Shot(first).pixel(4, 4), kGreen);

    QTest::keyClick(&first, Qt::Key_Tab);
    QTest::keyClick(&second, Qt::Key_Backtab);
    ASSERT_TRUE(first.hasFocus());
    const QImage shot = Shot(first);
    EXPECT_EQ(shot.pixel(4, 4), 0xFF00FFFFu);  // opaque
    EXPECT_EQ(shot.pixel(5, 4), kRed);
    EXPECT_EQ(shot.pixel(6, 4), 0xFF00FFFFu);
    EXPECT_EQ(shot.pixel(95, 15), 0xFF00FFFFu);
    EXPECT_EQ(shot.pixel(3, 3), kRed);
    EXPECT_EQ(shot.pixel(50, 10), kRed);
    EXPECT_EQ(Shot(second).pixel(4, 4), kRed);  // no focus, no mark
}

TEST_F(CLuButtonTest, CaptionColourFollowsTheState) {
    first.SetTextColors(0x6FFFFFFF, 0xFFFFFFFF, 0xFF00FFFF, 0xFF808080, true);
    EXPECT_EQ(first.TextLookFor(false, false, false).color, 0x6FFFFFFFu);
    EXPECT_EQ(first.TextLookFor(false, false, true).color, 0xFF00FFFFu);
    EXPECT_TRUE(first.TextLookFor(false, true, true).bold);
    EXPECT_EQ(first.TextLookFor(true, true, true).color, 0xFF808080u);
    EXPECT_FALSE(first.TextLookFor(true, true, true).bold);
}

TEST(CLuStaticTest, NegativeStateHidesThePictureAndCellsFollowTheState) {
    CLuDialog dialog;
    dialog.resize(200, 50);
    CLuStatic label(&dialog);
    label.setGeometry(0, 0, 100, 20);
    StaticImages images;
    images.picture = MakeStrip({kRed, kGreen}, 40, 20);
    images.pictureSource = QRect(0, 0, 40, 20);
    label.SetImages(images);
    label.SetStateCount(2);
    label.SetCurrentState(1);
    EXPECT_EQ(Shot(label).pixel(10, 10), kGreen);
    EXPECT_EQ(Shot(label).pixel(50, 10), kBlack);
    label.SetCurrentState(-1);
    EXPECT_EQ(Shot(label).pixel(10, 10), kBlack);
    EXPECT_EQ(label.Layout().textArea, QRect(0, 0, 100, 20));
}

TEST(CLuStaticTest, TilingANarrowerLabelStretchesTheImage) {
    CLuDialog dialog;
    dialog.resize(200, 50);
    CLuStatic label(&dialog);
    StaticImages images;
    images.background = MakeStrip({kRed, kBlue}, 40, 20);
    images.backgroundSource = QRect(0, 0, 40, 20);
    images.tiled = true;
    label.SetImages(images);
    label.SetBackgroundSuppressed(false);
    label.setGeometry(0, 0, 20, 20);  // narrower than one tile: stretched
    EXPECT_EQ(Shot(label).pixel(15, 10), kBlue);
    label.setGeometry(0, 0, 100, 20);  // wide enough: repeated unscaled
    const QImage tiled = Shot(label);
    EXPECT_EQ(tiled.pixel(15, 10), kRed);
    EXPECT_EQ(tiled.pixel(55, 10), kRed);
    EXPECT_EQ(tiled.pixel(75, 10), kBlue);
}

TEST(CLuStaticTest, FadedBackgroundIsBuiltOnceAndBlendsOverTheDialog) {
    CLuDialog dialog;
    dialog.resize(50, 20);
    CLuStatic label(&dialog);
    label.setGeometry(0, 0, 50, 20);
    StaticImages images;
    images.background = MakeStrip({0xFFFFFFFF}, 10, 10);
    images.backgroundSource = QRect(0, 0, 10, 10);
    images.alpha = 51;  // 20 percent white over black
    label.SetImages(images);
    ASSERT_FALSE(label.FadedBackground().isNull());
    EXPECT_EQ(qAlpha(label.FadedBackground().pixel(0, 0)), 51);
    EXPECT_NEAR(qRed(Shot(label).pixel(25, 10)), 51, 1);
    images.alpha = 255;
    label.SetImages(images);
    EXPECT_TRUE(label.FadedBackground().isNull());
}

TEST(CLuStaticTest, SettingTheTextPaintsAtOnce) {
    CLuDialog dialog;
    dialog.resize(200, 50);
    CountingStatic label(&dialog);
    label.setGeometry(0, 0, 200, 30);
    ASSERT_TRUE(ShowActive(dialog));
    QCoreApplication::processEvents();
    const int before = label.paints;
    label.SetText(QStringLiteral("Things To Do"));
    EXPECT_EQ(label.paints, before + 1);
    label.SetText(QStringLiteral("Things To Do"));
    EXPECT_EQ(label.paints, before + 1);
    EXPECT_GT(label.MeasureText().width(), 40);
}

TEST(CLuStaticTest, TextIsDrawnInItsColourWithAShadow) {
    CLuDialog dialog;
    dialog.resize(200, 40);
    CLuStatic label(&dialog);
    label.setGeometry(0, 0, 200, 40);
    label.SetText(QStringLiteral("IIIIIIII"));
    label.SetFontStyle(kFontBold);
    label.SetShadow(true, kRed);
    const QImage shot = Shot(label);
    bool white = false, red = false;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            white |= shot.pixel(x, y) == 0xFFFFFFFF;
            red |= shot.pixel(x, y) == kRed;
        }
    }
    EXPECT_TRUE(white);
    EXPECT_TRUE(red);
}
