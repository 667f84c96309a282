// The main program without a mouse: Tab through every window, the list's
// keys, buttons pressed with Enter and Space, and a drive mapped from the
// keyboard alone.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>

#include "DesktopWindow.h"
#include "app/CAboutDlg.h"
#include "drives/CDriveMapDlg.h"
#include "drives/CMsgDriveMapDlg.h"
#include "drives/CredentialsDialog.h"
#include "drives/SharePanel.h"
#include "skin/CLuButton.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "tests/support/KeyboardDriver.h"

namespace norvale::test {
namespace {

using app::CLuDiscoverDlg;

constexpr const char* kServer = "\\\\127.0.0.5";

void AddSevenDevices(DesktopWindow& desktop) {
    for (int i = 1; i <= 7; ++i) {
        const QByteArray name = "nas-" + QByteArray::number(i);
        const QByteArray address = "127.0.0." + QByteArray::number(i + 1);
        ListedDevice device{name.constData(), address.constData()};
        if (i == 3) {
            device.model = "QMZBEN";
            device.configure = false;
        }
        desktop.Add(device);
    }
}

void AddOfficeNas(DesktopWindow& desktop) {
    desktop.Add({"Office NAS", "127.0.0.5"});
    desktop.platform->SetShares(QString::fromLatin1(kServer),
                                {{"data", drives::kShareDisk}, {"media", drives::kShareDisk}});
}

std::vector<QWidget*> Controls(const DesktopWindow& desktop, std::initializer_list<int> ids) {
    std::vector<QWidget*> controls;
    for (int id : ids) controls.push_back(desktop.Control(id));
    return controls;
}

// One window: how it opens, and the controls Tab visits from the one that
// has the focus when it opens.
struct FocusChain {
    const char* name;
    // Returns what the case owns beyond the main window (may be null).
    std::function<std::unique_ptr<QWidget>(DesktopWindow&, std::vector<QWidget*>*)> open;
};

const FocusChain kChains[] = {
    {"main window without devices",
     [](DesktopWindow& d, std::vector<QWidget*>* order) {
         *order = Controls(d, {1015, 1001, 1002, 1003, 1004});
         return nullptr;
     }},
    {"main window with seven devices (page up off, Configure shown)",
     [](DesktopWindow& d, std::vector<QWidget*>* order) {
         AddSevenDevices(d);
         *order = Controls(d, {1015, 1017, 1007, 1008, 1009, 1010, 1011, 1001, 1002, 1003, 1004});
         return nullptr;
     }},
    {"About panel opened with Enter on info",
     [](DesktopWindow& d, std::vector<QWidget*>* order) {
         d.Control(1001)->setFocus(Qt::TabFocusReason);
         Press(Qt::Key_Return);
         *order = {d.window->AboutPanel()->BackButton()};
         for (QWidget* control : Controls(d, {1001, 1002, 1003, 1004})) order->push_back(control);
         return nullptr;
     }},
    {"share-folder panel opened with Enter on Browse Network Shares",
     [](DesktopWindow& d, std::vector<QWidget*>* order) {
         AddOfficeNas(d);
         d.Control(1009)->setFocus(Qt::TabFocusReason);
         Press(Qt::Key_Return);
         drives::SharePanel* panel = d.window->SharePanel();
         *order = {panel->List(), panel->Button(drives::SharePanel::kBackId)};  // no pages
         for (QWidget* control : Controls(d, {1001, 1002, 1003, 1004})) order->push_back(control);
         return nullptr;
     }},
    {"question",
     [](DesktopWindow& d, std::vector<QWidget*>* order) -> std::unique_ptr<QWidget> {
         auto box =
             std::make_unique<CLuMessageBox>("Go on?", "Norvale", d.window.get(), BTN_YES | BTN_NO);
         *order = {box->Button(CLuMessageBox::kYes), box->Button(CLuMessageBox::kNo)};
         return box;
     }},
    {"report",
     [](DesktopWindow& d, std::vector<QWidget*>* order) -> std::unique_ptr<QWidget> {
         auto box = std::make_unique<CLuMessageBox>("Done.", "Norvale", d.window.get(), BTN_OK);
         *order = {box->Button(CLuMessageBox::kOk)};
         return box;
     }},
    {"drive-letter question",
     [](DesktopWindow& d, std::vector<QWidget*>* order) -> std::unique_ptr<QWidget> {
         auto question = std::make_unique<drives::CMsgDriveMapDlg>("data", QStringList{"Z:", "Y:"},
                                                                   d.window.get());
         *order = {question->YesButton(), question->NoButton(), question->Combo()};
         return question;
     }},
    {"credentials",
     [](DesktopWindow& d, std::vector<QWidget*>* order) -> std::unique_ptr<QWidget> {
         auto prompt = std::make_unique<drives::CredentialsDialog>(
             "nas", "data", false, drives::Credentials{}, d.window.get());
         *order = {prompt->UserEdit(),    prompt->DomainEdit(), prompt->PasswordEdit(),
                   prompt->RememberBox(), prompt->OkButton(),   prompt->CancelButton()};
         return prompt;
     }},
};

TEST(Keyboard, TabVisitsExactlyTheEnabledControlsOfEveryWindowInOrder) {
    for (const FocusChain& chain : kChains) {
        SCOPED_TRACE(chain.name);
        DesktopWindow desktop;
        ASSERT_TRUE(ShowActive(desktop.window.get()));
        std::vector<QWidget*> order;
        const std::unique_ptr<QWidget> dialog = chain.open(desktop, &order);
        if (dialog) {
            ASSERT_TRUE(ShowActive(dialog.get()));
        }
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(QApplication::focusWidget(), order.front());
        std::vector<QWidget*> expected(order.begin() + 1, order.end());
        expected.push_back(order.front());
        EXPECT_EQ(FocusWalk(Qt::Key_Tab, static_cast<int>(order.size())), expected);
        EXPECT_EQ(FocusWalk(Qt::Key_Backtab, 1), std::vector<QWidget*>{order.back()});
    }
}

// Seven devices in pages of five; nas-3 offers no Configure.
TEST(Keyboard, ListKeysMoveTheSelectionAcrossPagesAndEnterConfigures) {
    DesktopWindow desktop;
    AddSevenDevices(desktop);
    ASSERT_TRUE(ShowActive(desktop.window.get()));
    CLuDiscoverDlg& window = *desktop.window;
    ASSERT_EQ(QApplication::focusWidget(), window.List());
    QSignalSpy configured(window.Button(1007), &QAbstractButton::clicked);

    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    EXPECT_EQ(window.Table().Selected(), 2);
    EXPECT_FALSE(window.Button(1007)->isVisible());  // the column follows the selection
    EXPECT_EQ(window.Button(1008)->y(), 194);
    Press(Qt::Key_Return);
    EXPECT_EQ(configured.count(), 0);

    Press(Qt::Key_End);
    EXPECT_EQ(window.Table().Selected(), 6);
    EXPECT_EQ(window.List()->GetTopOffset(), 2);
    EXPECT_TRUE(window.Button(1016)->isEnabled());  // the page buttons follow the page
    EXPECT_FALSE(window.Button(1017)->isEnabled());
    EXPECT_TRUE(window.Button(1007)->isVisible());
    Press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(configured.count(), 1);

    Press(Qt::Key_PageUp);
    EXPECT_EQ(window.Table().Selected(), 2);
    EXPECT_EQ(window.List()->GetTopOffset(), 2);
    Press(Qt::Key_Home);
    EXPECT_EQ(window.Table().Selected(), 0);
    EXPECT_EQ(window.List()->GetTopOffset(), 0);
    EXPECT_FALSE(window.Button(1016)->isEnabled());
    EXPECT_TRUE(window.Button(1017)->isEnabled());
    EXPECT_EQ(window.List()->GetSelectedIndex(), 0);
}

TEST(Keyboard, EnterOpensAPanelSpaceClosesItAndTheFocusComesBack) {
    DesktopWindow desktop;
    ASSERT_TRUE(ShowActive(desktop.window.get()));
    ASSERT_EQ(FocusWalk(Qt::Key_Backtab, 4).back(), desktop.Control(1001));  // info
    Press(Qt::Key_Return);
    QPointer<app::CAboutDlg> about = desktop.window->AboutPanel();
    ASSERT_TRUE(about);
    EXPECT_EQ(QApplication::focusWidget(), about->BackButton());
    Press(Qt::Key_Space);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(about);
    EXPECT_EQ(QApplication::focusWidget(), desktop.Control(1001));
}

// Map Network Drive, the question, the panel and the letter question, all
// from the keyboard: "data" ends up on Y:.
TEST(Keyboard, ADriveIsMappedFromTheKeyboardAlone) {
    DesktopWindow desktop;
    AddOfficeNas(desktop);
    ASSERT_TRUE(ShowActive(desktop.window.get()));
    ASSERT_EQ(FocusWalk(Qt::Key_Tab, 2).back(), desktop.Control(1008));  // after Configure

    bool asked = false;
    WhenModal<CLuMessageBox>([&](CLuMessageBox* box) {
        asked = true;
        EXPECT_EQ(QApplication::focusWidget(), box->Button(CLuMessageBox::kYes));
        Press(Qt::Key_Escape);  // the box ends only through its buttons
        Press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), box->Button(CLuMessageBox::kNo));
        Press(Qt::Key_Space);  // No: map by hand
    });
    Press(Qt::Key_Return);
    ASSERT_TRUE(asked);
    ASSERT_TRUE(Reactivate(desktop.window.get()));
    auto* panel = qobject_cast<drives::CDriveMapDlg*>(desktop.window->SharePanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->Automatic());
    EXPECT_EQ(QApplication::focusWidget(), panel->List());

    QString offered;
    WhenModal<drives::CMsgDriveMapDlg>([&](drives::CMsgDriveMapDlg* question) {
        EXPECT_EQ(QApplication::focusWidget(), question->YesButton());
        Press(Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), question->Combo());
        Press(Qt::Key_Space);  // opens the list of letters
        EXPECT_TRUE(question->Combo()->IsDroppedDown());
        Press(Qt::Key_Down);
        Press(Qt::Key_Return);  // chooses Y:
        offered = question->Combo()->Caption();
        Press(Qt::Key_Tab);
        Press(Qt::Key_Return);  // Yes
    });
    Press(Qt::Key_Down);    // "data"
    Press(Qt::Key_Return);  // as a click on the row
    EXPECT_EQ(offered, QStringLiteral("Y:"));
    ASSERT_EQ(panel->Rows().Count(), 2);
    EXPECT_EQ(panel->Rows().Text(0), QStringLiteral("data (Y:)"));
    ASSERT_NE(desktop.platform->LetterOf(u'Y'), nullptr);
    EXPECT_EQ(desktop.platform->LetterOf(u'Y')->remote, QString::fromLatin1(kServer) + "\\data");
}

}  // namespace
}  // namespace norvale::test
