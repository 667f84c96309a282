// The skinned combo box with its drop-down and list box: opening, sizing,
// choosing and abandoning by mouse and keys, the face and the caption.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "SkinTestImages.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuComboBoxListWnd.h"
#include "skin/CLuDialog.h"
#include "skin/CLuListBox.h"
#include "skin/CLuScrollBar.h"
#include "skin/CLuScrollWnd.h"

namespace {

constexpr int kComboId = 1042;

class CLuComboBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.setGeometry(100, 100, 400, 300);
        combo = new CLuComboBox;
        ASSERT_TRUE(combo->Create(QRect(20, 40, 200, 30), &dialog, kComboId));
        combo->SetImages(MakeStrip({kRed, kGreen, kBlue, kYellow}, 640, 30), 0, 0, 640, 30, 4);
        combo->SetScrollBitmap(MakePattern(234, 78));
        list = combo->ListBox();
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        // Repeated moves to one place are dropped: start each test elsewhere.
        QTest::mouseMove(&dialog, QPoint(390, 290));
    }
    void Fill(int count) {
        for (int i = 0; i < count; ++i) list->AddString(QStringLiteral("entry %1").arg(i));
    }
    void ClickCombo() { QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(10, 10)); }
    QWidget* Viewport() const { return list->viewport(); }
    QPoint RowCentre(int row) const { return QPoint(40, row * list->ItemHeight() + 14); }

    CLuDialog dialog;
    CLuComboBox* combo = nullptr;  // owned by the dialog
    CLuListBox* list = nullptr;
};

}  // namespace

TEST_F(CLuComboBoxTest, ComboWithoutEntriesDoesNotOpenButShowsThePress) {
    EXPECT_EQ(combo->parentWidget(), &dialog);
    EXPECT_EQ(combo->geometry(), QRect(20, 40, 200, 30));
    QTest::mousePress(combo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(Shot(*combo).pixel(100, 15), kBlue);
    QTest::mouseRelease(combo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Shot(*combo).pixel(100, 15), kRed);
}

TEST_F(CLuComboBoxTest, DropDownOpensBelowAtTheButtonsWidthAndAtMostMaxRowsHigh) {
    Fill(3);
    list->SetMaxVisibleRows(5);
    ClickCombo();
    ASSERT_TRUE(combo->IsDroppedDown());
    const QRect expected(combo->mapToGlobal(QPoint(0, 30)), QSize(200, 87));
    EXPECT_EQ(combo->DropDown()->geometry(), expected);
    EXPECT_EQ(combo->DropDown()->DropDownRect(), expected);
    EXPECT_FALSE(combo->DropDown()->ScrollWnd()->VerticalBar()->isVisible());
    EXPECT_EQ(Shot(*combo).pixel(100, 15), kBlue);  // open shows the pressed face
    ClickCombo();                                   // a second click closes it
    EXPECT_FALSE(combo->IsDroppedDown());

    Fill(7);
    ClickCombo();
    ASSERT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(combo->DropDown()->height(), 5 * 29);
    QApplication::processEvents();
    EXPECT_TRUE(combo->DropDown()->ScrollWnd()->VerticalBar()->isVisible());
    EXPECT_EQ(CLuComboBoxListWnd::DropDownHeight(3, 0, 29), 87);  // no limit set
}

TEST_F(CLuComboBoxTest, NearTheScreensBottomTheDropDownOpensAbove) {
    const QRect screen = dialog.screen()->availableGeometry();
    dialog.move(dialog.x(), screen.bottom() - 80);  // combo bottom 10 px above the edge
    Fill(3);
    ClickCombo();
    ASSERT_TRUE(combo->IsDroppedDown());
    const QPoint top = combo->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(combo->DropDown()->geometry(), QRect(top.x(), top.y() - 87, 200, 87));
}

TEST_F(CLuComboBoxTest, ClickingAnEntryChoosesItOnceAfterTheEventLoopTurns) {
    Fill(3);
    QSignalSpy choices(combo, &CLuComboBox::choiceMade);
    ClickCombo();
    ASSERT_TRUE(combo->IsDroppedDown());
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, RowCentre(2));
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Caption(), QStringLiteral("entry 2"));
    EXPECT_EQ(choices.count(), 0);  // posted, not sent
    QApplication::processEvents();
    ASSERT_EQ(choices.count(), 1);
    EXPECT_EQ(choices[0][0].toInt(), kComboId);
    EXPECT_EQ(choices[0][1].toInt(), 2);
    EXPECT_EQ(list->CommittedSelection(), 2);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetCurText(), QStringLiteral("entry 2"));
    QApplication::processEvents();
    EXPECT_EQ(choices.count(), 1);
}

TEST_F(CLuComboBoxTest, KeyboardMoveThenClickElsewhereRestoresTheCommittedEntrySilently) {
    Fill(4);
    combo->SetCurSel(1);
    QSignalSpy choices(combo, &CLuComboBox::choiceMade);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_F4);
    ASSERT_TRUE(combo->IsDroppedDown());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->GetCurSel(), 3);
    EXPECT_TRUE(combo->IsDroppedDown());
    QTest::mouseClick(combo->DropDown(), Qt::LeftButton, {}, QPoint(300, -80));  // the dialog
    EXPECT_FALSE(combo->IsDroppedDown());
    QApplication::processEvents();
    EXPECT_EQ(choices.count(), 0);
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->Caption(), QStringLiteral("entry 1"));
}

TEST_F(CLuComboBoxTest, KeysOpenMoveChooseAndEscapeClosesOnlyTheDropDown) {
    Fill(3);
    combo->SetCurSel(0);
    QSignalSpy choices(combo, &CLuComboBox::choiceMade);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo->IsDroppedDown());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(combo->GetCurSel(), 0);

    QTest::keyClick(combo, Qt::Key_F4);
    ASSERT_TRUE(combo->IsDroppedDown());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_TRUE(dialog.isVisible());
    QApplication::processEvents();
    ASSERT_EQ(choices.count(), 1);
    EXPECT_EQ(choices[0][1].toInt(), 2);
    EXPECT_EQ(combo->Caption(), QStringLiteral("entry 2"));
}

TEST(CLuComboBoxModalTest, ChoosingWorksInsideAModalDialogWhichStaysOpen) {
    CLuDialog dialog;
    dialog.resize(300, 200);
    auto* combo = new CLuComboBox;
    combo->Create(QRect(10, 10, 150, 30), &dialog, 7);
    for (const char* letter : {"Z:", "Y:", "X:"}) combo->ListBox()->AddString(letter);
    combo->SetCurSel(0);
    int chosen = -1;
    bool openAfterEscape = false;
    QObject::connect(combo, &CLuComboBox::choiceMade, &dialog, [&](int, int index) {
        chosen = index;
        dialog.accept();
    });
    QTimer::singleShot(0, &dialog, [&] {
        QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::keyClick(combo->ListBox(), Qt::Key_Escape);
        openAfterEscape = dialog.isVisible();
        QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(combo->ListBox()->viewport(), Qt::LeftButton, {}, QPoint(20, 29 + 10));
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject);  // a hang fails instead of blocking
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(combo->GetCurText(), QStringLiteral("Y:"));
}

TEST_F(CLuComboBoxTest, PointerLeavingComboAndDropDownClosesIt) {
    Fill(3);
    QSignalSpy choices(combo, &CLuComboBox::choiceMade);
    ClickCombo();
    ASSERT_TRUE(combo->IsDroppedDown());
    CLuComboBoxListWnd* dropDown = combo->DropDown();
    QTest::mouseMove(dropDown, QPoint(50, 10));   // over the list
    QTest::mouseMove(dropDown, QPoint(50, -10));  // back over the combo
    EXPECT_TRUE(combo->IsDroppedDown());
    QTest::mouseMove(dropDown, QPoint(250, 40));  // right of both
    EXPECT_FALSE(combo->IsDroppedDown());
    QApplication::processEvents();
    EXPECT_EQ(choices.count(), 0);
}

TEST_F(CLuComboBoxTest, SetCurSelIgnoresIndexesOutsideTheEntries) {
    Fill(3);
    combo->SetCurSel(1);
    combo->SetCurSel(3);
    combo->SetCurSel(-1);
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->Caption(), QStringLiteral("entry 1"));
    EXPECT_EQ(combo->GetCurText(), QStringLiteral("entry 1"));
}

TEST_F(CLuComboBoxTest, LongCaptionEndsInAnEllipsisLeftOfTheArrow) {
    list->AddString(QStringLiteral("A very long share name that cannot fit the combo box"));
    combo->SetCurSel(0);
    const QString shown = combo->ShownCaption();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(combo->CaptionRect(), QRectF(5, 0, 165, 30));
    // The arrow's room keeps the face.
    const QImage shot = Shot(*combo);
    for (int x = 171; x < 200; x += 4) {
        for (int y = 0; y < 30; y += 3) ASSERT_EQ(shot.pixel(x, y), kRed) << x << "," << y;
    }
    combo->SetTextInset(10);
    EXPECT_EQ(combo->CaptionRect(), QRectF(15, 0, 155, 30));
}

TEST_F(CLuComboBoxTest, CaptionIsDrawnInTheColourOfTheState) {
    list->AddString(QStringLiteral("WWW"));
    combo->SetCurSel(0);
    combo->SetImages(MakeStrip({kBlack, kBlack, kBlack, kBlack}, 640, 30), 0, 0, 640, 30, 4);
    const auto shows = [this](QRgb colour) {
        const QImage shot = Shot(*combo);
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 100; ++x) {
                if (shot.pixel(x, y) == colour) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(shows(0xFFFFFFFF));
    QTest::mouseMove(combo, QPoint(30, 10));
    EXPECT_TRUE(shows(kYellow));
    EXPECT_FALSE(shows(0xFFFFFFFF));
    combo->setEnabled(false);
    EXPECT_TRUE(shows(0xFF808080));
    EXPECT_FALSE(shows(kYellow));
}

TEST_F(CLuComboBoxTest, NarrowComboShowsTheRightEndOfTheCell) {
    const QImage strip = MakePattern(640, 30);
    combo->SetImages(strip, 0, 0, 640, 30, 5);  // 5 cells of 128; the fifth ignored
    combo->resize(100, 30);
    QImage shot = Shot(*combo);
    EXPECT_EQ(shot.pixel(99, 7), strip.pixel(127, 7));
    EXPECT_EQ(shot.pixel(0, 7), strip.pixel(28, 7));
    EXPECT_EQ(combo->SetImages(strip, 0, 0, 640, 30, 6), 0);
    EXPECT_FALSE(combo->Faces().Slot(4).IsSet());
    combo->setEnabled(false);
    shot = Shot(*combo);
    EXPECT_EQ(shot.pixel(99, 7), strip.pixel(3 * 128 + 127, 7));
}

TEST_F(CLuComboBoxTest, HoverFollowsMovesSurvivesLeavingAndEndsWithAPress) {
    Fill(1);
    QTest::mouseMove(combo, QPoint(30, 10));
    EXPECT_TRUE(combo->IsHovered());
    EXPECT_EQ(Shot(*combo).pixel(100, 15), kGreen);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(combo, &leave);
    EXPECT_TRUE(combo->IsHovered());
    ClickCombo();
    EXPECT_FALSE(combo->IsHovered());
    combo->HideDropDown();
    // A move reported outside (the combo holds the mouse) clears it.
    QTest::mouseMove(combo, QPoint(30, 10));
    QTest::mouseMove(combo, QPoint(30, 60));
    EXPECT_FALSE(combo->IsHovered());
}

TEST(CLuListBoxTest, BandsUseTheSelectedColourWhichDefaultsToInvisible) {
    CLuListBox list;
    list.resize(150, 100);
    for (int i = 0; i < 3; ++i) list.AddString(QStringLiteral("x"));
    list.SetCurSel(1);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QImage shot = list.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shot.pixel(140, 29 + 14), 0xFFFFFFFFu);
    EXPECT_EQ(shot.pixel(140, 14), 0xFFFFFFFFu);
    list.SetColors(kRed, kBlue, kBlack);
    shot = list.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shot.pixel(140, 29 + 14), kBlue);
    EXPECT_EQ(shot.pixel(140, 14), kRed);
    EXPECT_EQ(shot.pixel(140, 95), kRed);  // below the last entry
    EXPECT_EQ(list.GetCount(), 3);
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), -1);
}

TEST(CLuListBoxTest, LongEntriesEndWithAnEllipsis) {
    CLuListBox list;
    const QString shown = list.ShownText(QStringLiteral("a share name much too long for it"), 120);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(list.ShownText(QStringLiteral("Z:"), 120), QStringLiteral("Z:"));
}

TEST(CLuComboBoxSkinTest, StandardSkinLoadsTheFaceAndScrollBitmapOfTheProgram) {
    CLuComboBox combo;
    ApplyStandardComboSkin(combo);
    EXPECT_TRUE(combo.Faces().Slot(FaceSlots::kDisabled).IsSet());
    EXPECT_EQ(combo.Faces().FaceSize(), QSize(160, 30));
    EXPECT_EQ(combo.DropDown()->ScrollWnd()->CellSize(), 26);
    EXPECT_GT(combo.ListBox()->MaxVisibleRows(), 0);
}
