// What assistive technology reads, through Qt's accessibility API: the
// device list as a table of rows with name, address and model cells, and a
// name and a role for every control of every window.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLineEdit>

#include "DesktopWindow.h"
#include "drives/CMsgDriveMapDlg.h"
#include "drives/CredentialsDialog.h"
#include "drives/SharePanel.h"
#include "skin/CLuButton.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuStatic.h"
#include "tests/support/KeyboardDriver.h"

namespace norvale::test {
namespace {

QString Name(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

TEST(Accessibility, DeviceListIsATableOfRowsWithNameAddressAndModelCells) {
    DesktopWindow desktop;
    desktop.Add({"Office NAS", "127.0.0.5", "QMA5KS"});
    desktop.Add({"Attic", "127.0.0.9", "QMZBEN", false});
    desktop.Add({"Studio", "127.0.0.7", "QMA4X"});
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(desktop.window->List());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::Table);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Network Drives Found"));
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columnCount(), 3);
    EXPECT_EQ(table->columnDescription(0), QStringLiteral("Server Name"));
    EXPECT_EQ(table->columnDescription(1), QStringLiteral("IP"));
    EXPECT_EQ(table->columnDescription(2), QStringLiteral("Model"));

    const QStringList rows[] = {{"Attic", "127.0.0.9", "QMZBEN"},
                                {"Office NAS", "127.0.0.5", "QMA5KS"},
                                {"Studio", "127.0.0.7", "QMA4X"}};
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(list->childCount(), 9);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            QAccessibleInterface* cell = table->cellAt(row, column);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->role(), QAccessible::Cell);
            EXPECT_EQ(cell->text(QAccessible::Name), rows[row][column]) << row << column;
            EXPECT_EQ(list->child(row * 3 + column), cell);
            EXPECT_EQ(list->indexOfChild(cell), row * 3 + column);
            EXPECT_EQ(cell->tableCellInterface()->rowIndex(), row);
        }
    }
    EXPECT_TRUE(table->isRowSelected(0));

    // Cells read the rows as they are now; choosing a row works like the keys.
    desktop.window->Table().RemoveRow(0);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("Office NAS"));
    EXPECT_TRUE(table->selectRow(1));
    EXPECT_EQ(desktop.window->Table().Selected(), 1);
    EXPECT_TRUE(table->cellAt(1, 2)->state().selected);
    // The action column followed.
    EXPECT_TRUE(desktop.window->Button(1007)->isVisibleTo(desktop.window.get()));
}

// Every visible control below root: buttons are named push buttons, labels
// static text named by their text, lists tables and combo boxes named.
void ExpectEveryControlNamed(QWidget* root) {
    for (CLuButton* button : root->findChildren<CLuButton*>()) {
        if (!button->isVisible()) continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(face->role(), QAccessible::Button) << button->ControlId();
        EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty()) << button->ControlId();
    }
    for (CLuStatic* label : root->findChildren<CLuStatic*>()) {
        if (!label->isVisible()) continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(label);
        EXPECT_EQ(face->role(), QAccessible::StaticText);
        EXPECT_EQ(face->text(QAccessible::Name), label->Text());
    }
    for (QWidget* control : root->findChildren<QWidget*>()) {
        if (!control->isVisible()) continue;
        const bool list = qobject_cast<CLuListCtrl*>(control) != nullptr;
        const bool combo = qobject_cast<CLuComboBox*>(control) != nullptr;
        if (!list && !combo) continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        EXPECT_EQ(face->role(), list ? QAccessible::Table : QAccessible::ComboBox);
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty())
            << control->objectName().toStdString();
    }
}

TEST(Accessibility, EveryButtonOfEveryWindowHasANameAndEveryControlItsRole) {
    DesktopWindow desktop;
    desktop.Add({"Office NAS", "127.0.0.5"});
    desktop.platform->SetShares(QStringLiteral("\\\\127.0.0.5"), {{"data", drives::kShareDisk}});
    app::CLuDiscoverDlg& window = *desktop.window;
    ASSERT_TRUE(ShowActive(&window));
    EXPECT_EQ(Name(window.Button(1003)), QStringLiteral("Minimize"));  // image-only buttons
    EXPECT_EQ(Name(window.Button(1017)), QStringLiteral("Next page"));
    EXPECT_EQ(Name(window.Button(1008)), QStringLiteral("Map Network Drive"));
    ExpectEveryControlNamed(&window);
    window.ShowAboutPanel();
    ExpectEveryControlNamed(&window);
    window.OnBrowseNetworkShares();
    ASSERT_NE(window.SharePanel(), nullptr);
    EXPECT_EQ(Name(window.SharePanel()), QStringLiteral("Browse Network Shares"));
    ExpectEveryControlNamed(window.SharePanel());

    CLuMessageBox box(QStringLiteral("Desktop Shortcut Created Successfully!"), QString(), &window,
                      BTN_OK);
    QAccessibleInterface* alert = QAccessible::queryAccessibleInterface(&box);
    EXPECT_EQ(alert->role(), QAccessible::AlertMessage);
    EXPECT_EQ(alert->text(QAccessible::Name),
              QStringLiteral("Desktop Shortcut Created Successfully!"));
    box.show();
    ExpectEveryControlNamed(&box);

    drives::CMsgDriveMapDlg question(QStringLiteral("data"), {QStringLiteral("Z:")}, &window);
    question.show();
    ExpectEveryControlNamed(&question);
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(question.Combo());
    EXPECT_EQ(combo->text(QAccessible::Name), QStringLiteral("\"data\" will be mapped as drive:"));
    EXPECT_EQ(combo->text(QAccessible::Value), QStringLiteral("Z:"));

    drives::CredentialsDialog prompt(QStringLiteral("nas"), QString(), false, {}, &window);
    prompt.show();
    ExpectEveryControlNamed(&prompt);
    EXPECT_EQ(Name(prompt.PasswordEdit()), QStringLiteral("Password:"));
}

}  // namespace
}  // namespace norvale::test
