// The skinned list's paging, clicks and selection; the message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "SkinTestImages.h"
#include "skin/CLuButton.h"
#include "skin/CLuDialog.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuStatic.h"

namespace {

class CLuListCtrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.resize(300, 260);
        list.setGeometry(10, 10, 200, 200);
        for (int i = 0; i < 10; ++i) {
            model.appendRow({new QStandardItem(QStringLiteral("item %1").arg(i)),
                             new QStandardItem(), new QStandardItem()});
        }
        list.SetModel(&model);
        list.SetRowImages(MakeStrip({kRed, kGreen, kBlue, kYellow}, 400, 50), 0, 0, 400, 50, 4);
    }
    CLuDialog dialog;
    CLuListCtrl list{&dialog};
    QStandardItemModel model;
};

}  // namespace

TEST_F(CLuListCtrlTest, PagesTenItemsInFourRows) {
    EXPECT_EQ(list.RowHeight(), 50);
    EXPECT_EQ(list.VisibleRows(), 4);
    EXPECT_TRUE(list.ScrollPageDown());
    EXPECT_EQ(list.GetTopOffset(), 3);
    EXPECT_FALSE(list.ScrollPageDown());
    EXPECT_EQ(list.GetTopOffset(), 6);
    EXPECT_TRUE(list.ScrollPageUp());
    EXPECT_EQ(list.GetTopOffset(), 3);
    EXPECT_FALSE(list.ScrollPageUp());
    EXPECT_EQ(list.GetTopOffset(), 0);
}

TEST_F(CLuListCtrlTest, ClickOnAPagedRowSelectsTheItemShownThere) {
    QSignalSpy clicked(&list, &CLuListCtrl::itemClicked);
    list.ScrollPageDown();
    QTest::mouseClick(&list, Qt::LeftButton, {}, QPoint(20, 75));  // row 1
    EXPECT_EQ(list.GetSelectedIndex(), 4);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].toInt(), 4);
    EXPECT_EQ(Shot(list).pixel(100, 75), kBlue);  // the selected row image
    EXPECT_EQ(Shot(list).pixel(100, 25), kRed);
    QTest::mouseClick(&list, Qt::RightButton, {}, QPoint(20, 25));
    EXPECT_EQ(list.GetSelectedIndex(), 4);
}

TEST_F(CLuListCtrlTest, SelectionSurvivesInsertionsAndDeletionsAroundIt) {
    ASSERT_TRUE(list.SelectItem(5));
    EXPECT_FALSE(list.SelectItem(10));
    model.insertRow(0, new QStandardItem(QStringLiteral("new")));
    EXPECT_EQ(list.GetSelectedIndex(), 6);
    model.removeRow(0);
    EXPECT_EQ(list.GetSelectedIndex(), 5);
    model.removeRow(8);
    EXPECT_EQ(list.GetSelectedIndex(), 5);
    EXPECT_EQ(model.item(5)->text(), QStringLiteral("item 5"));
    model.removeRow(5);
    EXPECT_EQ(list.GetSelectedIndex(), -1);
}

TEST_F(CLuListCtrlTest, PointerHighlightsTheRowUnderItAndLeavesNoFocusMark) {
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(250, 250));
    list.clearFocus();
    QSignalSpy focus(&list, &CLuListCtrl::focusTaken);
    QTest::mouseMove(&list, QPoint(20, 120));  // row 2
    EXPECT_EQ(list.HighlightedRow(), 2);
    EXPECT_EQ(focus.count(), 1);
    EXPECT_TRUE(list.hasFocus());
    const QImage shot = Shot(list);
    EXPECT_EQ(shot.pixel(100, 125), kGreen);
    EXPECT_EQ(shot.pixel(4, 102), kGreen);  // where the keyboard's mark would be
}

// Ten items in pages of four: the keys move the selection, the list pages
// with the page buttons' steps to keep it shown, Enter activates it.
TEST_F(CLuListCtrlTest, KeysMoveTheSelectionAcrossPagesAndEnterActivatesIt) {
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    list.setFocus(Qt::TabFocusReason);
    QSignalSpy moved(&list, &CLuListCtrl::selectionMoved);
    QSignalSpy activated(&list, &CLuListCtrl::itemActivated);
    QTest::keyClick(&list, Qt::Key_Return);  // nothing selected: nothing to activate
    EXPECT_TRUE(activated.isEmpty());
    const struct {
        Qt::Key key;
        int selected;
        int top;
    } steps[] = {{Qt::Key_Down, 0, 0},     {Qt::Key_Down, 1, 0}, {Qt::Key_PageDown, 4, 3},
                 {Qt::Key_PageDown, 7, 6}, {Qt::Key_End, 9, 6},  {Qt::Key_Up, 8, 6},
                 {Qt::Key_PageUp, 5, 3},   {Qt::Key_Home, 0, 0}, {Qt::Key_Up, 0, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(&list, step.key);
        EXPECT_EQ(list.GetSelectedIndex(), step.selected) << step.key;
        EXPECT_EQ(list.GetTopOffset(), step.top) << step.key;
    }
    EXPECT_EQ(moved.count(), 8);  // Up at the first item moves nothing
    EXPECT_EQ(moved.back()[0].toInt(), 0);
    // The selected row (row 0) carries the dotted mark in the selected text
    // colour (black here); the row below does not.
    const QImage shot = Shot(list);
    EXPECT_EQ(shot.pixel(4, 4), kBlack);
    EXPECT_EQ(shot.pixel(5, 4), kBlue);
    EXPECT_EQ(shot.pixel(4, 54), kRed);
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 1);
}

TEST_F(CLuListCtrlTest, MarkShowsOnlyInRowsWithColumnTwoText) {
    list.SetMarkImage(MakeStrip({0xFFFF00FF}, 10, 10), 0, 0, 10, 10);
    model.item(1, 2)->setText(QStringLiteral("1"));
    const QImage shot = Shot(list);
    EXPECT_EQ(shot.pixel(20, 55), 0xFFFF00FFu);
    EXPECT_EQ(shot.pixel(20, 5), kRed);
}

namespace {

MessageBoxSkin TestSkin() {
    MessageBoxSkin skin;
    skin.background = MakeStrip({0xFF203040}, 600, 240);
    skin.backgroundSource = QRect(0, 0, 600, 240);
    skin.buttons = MakeStrip({kRed, kGreen, kBlue, kYellow}, 448, 36);
    skin.buttonsSource = QRect(0, 0, 448, 36);
    // Every colour its own, so a swapped pair shows.
    skin.captionColor = 0xFF112233;
    skin.buttonColor1 = 0xFF445566;
    skin.buttonColor2 = 0xFF778899;
    skin.buttonColor3 = 0xFFAABBCC;
    skin.buttonColor4 = 0xFF808080;
    skin.messageColor = 0xFFDDEEFF;
    skin.fontSize = 13;
    return skin;
}

// Runs check on the open box once the modal loop has started.
void WhenBoxOpens(const std::function<void(CLuMessageBox&)>& check) {
    QTimer::singleShot(0, [check] {
        auto* box = qobject_cast<CLuMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        check(*box);
    });
}

}  // namespace

TEST(CLuMessageBoxTest, QuestionShowsNoAndYesFromTheRightAndEndsOnlyThroughThem) {
    const MessageBoxSkin skin = TestSkin();
    SetMessageBoxSkin(&skin);
    WhenBoxOpens([](CLuMessageBox& box) {
        EXPECT_EQ(box.size(), QSize(600, 240));
        EXPECT_EQ(box.Button(CLuMessageBox::kNo)->geometry(), QRect(452, 178, 112, 36));
        EXPECT_EQ(box.Button(CLuMessageBox::kYes)->geometry(), QRect(310, 178, 112, 36));
        EXPECT_FALSE(box.Button(CLuMessageBox::kOk)->isVisible());
        EXPECT_FALSE(box.Button(CLuMessageBox::kCancel)->isEnabled());
        EXPECT_EQ(box.Button(CLuMessageBox::kYes)->text(), QStringLiteral("Yes"));
        EXPECT_EQ(box.CaptionStatic()->geometry(), QRect(5, 2, 300, 32));
        EXPECT_EQ(box.TextStatic()->geometry(), QRect(40, 55, 515, 100));
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClick(&box, Qt::Key_Escape);
        EXPECT_FALSE(box.close());  // Alt+F4
        EXPECT_TRUE(box.isVisible());
        QTest::mouseClick(box.Button(CLuMessageBox::kYes), Qt::LeftButton);
    });
    EXPECT_EQ(ShowSkinMessageBox(QStringLiteral("Continue?"), QStringLiteral("Norvale Discovery"),
                                 nullptr, BTN_YES | BTN_NO),
              IDYES);
}

TEST(CLuMessageBoxTest, ReportCentresOkAndEmptySetPutsOkAtTheRight) {
    const MessageBoxSkin skin = TestSkin();
    SetMessageBoxSkin(&skin);
    SetMessageBoxSkin(nullptr);  // changes nothing
    WhenBoxOpens([](CLuMessageBox& box) {
        EXPECT_EQ(box.Button(CLuMessageBox::kOk)->geometry(), QRect(244, 178, 112, 36));
        QTest::mouseClick(box.Button(CLuMessageBox::kOk), Qt::LeftButton);
    });
    EXPECT_EQ(ShowSkinMessageBox(QStringLiteral("Done"), QString(), nullptr, BTN_OK), IDOK);
    WhenBoxOpens([](CLuMessageBox& box) {
        EXPECT_EQ(box.Button(CLuMessageBox::kOk)->geometry(), QRect(452, 178, 112, 36));
        QTest::mouseClick(box.Button(CLuMessageBox::kOk), Qt::LeftButton);
    });
    EXPECT_EQ(ShowSkinMessageBox(QString(), QString(), nullptr, 0), IDOK);
}

TEST(CLuMessageBoxTest, EachLabelTakesItsOwnSkinColour) {
    const MessageBoxSkin skin = TestSkin();
    SetMessageBoxSkin(&skin);
    WhenBoxOpens([&skin](CLuMessageBox& box) {
        EXPECT_EQ(box.CaptionStatic()->TextColor(), skin.captionColor);
        EXPECT_EQ(box.TextStatic()->TextColor(), skin.messageColor);
        for (int which : {CLuMessageBox::kOk, CLuMessageBox::kCancel, CLuMessageBox::kYes,
                          CLuMessageBox::kNo}) {
            const CLuButton* button = box.Button(which);
            EXPECT_EQ(button->TextLookFor(false, false, false).color, skin.buttonColor1);
            EXPECT_EQ(button->TextLookFor(false, false, true).color, skin.buttonColor2);
            EXPECT_EQ(button->TextLookFor(false, true, false).color, skin.buttonColor3);
            EXPECT_EQ(button->TextLookFor(true, false, false).color, skin.buttonColor4);
            EXPECT_FALSE(button->TextLookFor(false, true, false).bold);
        }
        QTest::mouseClick(box.Button(CLuMessageBox::kOk), Qt::LeftButton);
    });
    EXPECT_EQ(ShowSkinMessageBox(QStringLiteral("Done"), QStringLiteral("Title"), nullptr, BTN_OK),
              IDOK);
}

TEST(CLuMessageBoxTest, FocusReturnsToTheSkinnedButtonThatHadIt) {
    const MessageBoxSkin skin = TestSkin();
    SetMessageBoxSkin(&skin);
    CLuDialog owner;
    owner.resize(800, 600);
    CLuButton button(&owner);
    button.setGeometry(10, 10, 100, 20);
    CLuButton other(&owner);
    other.setGeometry(10, 40, 100, 20);
    owner.show();
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    button.setFocus();
    WhenBoxOpens([&other](CLuMessageBox& box) {
        other.setFocus();  // focus moves meanwhile
        QTest::mouseClick(box.Button(CLuMessageBox::kCancel), Qt::LeftButton);
    });
    EXPECT_EQ(ShowSkinMessageBox(QStringLiteral("?"), QString(), &owner, BTN_CANCEL), IDCANCEL);
    EXPECT_EQ(owner.focusWidget(), &button);
}

TEST(CLuMessageBoxTest, WorkerThreadGetsItsAnswerFromABoxOnTheInterfaceThread) {
    const MessageBoxSkin skin = TestSkin();
    SetMessageBoxSkin(&skin);
    QTimer clicker;
    clicker.setInterval(5);
    QObject::connect(&clicker, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<CLuMessageBox*>(QApplication::activeModalWidget())) {
            EXPECT_EQ(box->thread(), QApplication::instance()->thread());
            QTest::mouseClick(box->Button(CLuMessageBox::kNo), Qt::LeftButton);
        }
    });
    clicker.start();
    std::atomic<int> result{0};
    std::thread worker([&result] {
        result =
            ShowSkinMessageBox(QStringLiteral("Launch?"), QString(), nullptr, BTN_YES | BTN_NO);
    });
    EXPECT_TRUE(QTest::qWaitFor([&result] { return result.load() != 0; }, 5000));
    worker.join();
    EXPECT_EQ(result.load(), IDNO);
}
