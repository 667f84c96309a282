// The credentials dialog: what OK and Cancel hand back, and what the prompt
// says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "drives/CredentialsDialog.h"
#include "skin/CLuButton.h"
#include "skin/CLuStatic.h"

namespace drives {
namespace {

// Runs action on the dialog once it is shown modally.
void WhenShown(std::function<void(CredentialsDialog*)> action) {
    QTimer::singleShot(0, [action] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<CredentialsDialog*>(widget);
                dialog && dialog->isVisible()) {
                action(dialog);
                return;
            }
        }
        ADD_FAILURE() << "no credentials dialog shown";
    });
}

TEST(CredentialsDialog, OkHandsBackTheTypedFields) {
    WhenShown([](CredentialsDialog* dialog) {
        EXPECT_EQ(dialog->UserEdit()->text(), QStringLiteral("old"));
        EXPECT_EQ(dialog->PasswordEdit()->echoMode(), QLineEdit::Password);
        dialog->UserEdit()->setText(QStringLiteral(" alice "));
        dialog->DomainEdit()->setText(QStringLiteral("WORKGROUP"));
        dialog->PasswordEdit()->setText(QStringLiteral(" secret "));
        dialog->RememberBox()->setChecked(true);
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    });
    CredentialsDialogPrompt prompt;
    Credentials answer{QStringLiteral("old"), QString(), QString(), false};
    ASSERT_TRUE(prompt.Ask(nullptr, QStringLiteral("nas"), QStringLiteral("data"), false, &answer));
    EXPECT_EQ(answer.user, QStringLiteral("alice"));
    EXPECT_EQ(answer.domain, QStringLiteral("WORKGROUP"));
    EXPECT_EQ(answer.password, QStringLiteral(" secret "));  // passwords are taken as typed
    EXPECT_TRUE(answer.remember);
}

TEST(CredentialsDialog, CancelAndEscapeLeaveTheAnswerAlone) {
    CredentialsDialogPrompt prompt;
    Credentials answer{QStringLiteral("bob"), QString(), QStringLiteral("pw"), false};
    WhenShown([](CredentialsDialog* dialog) {
        dialog->PasswordEdit()->setText(QStringLiteral("changed"));
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(prompt.Ask(nullptr, QStringLiteral("nas"), QString(), true, &answer));
    WhenShown(
        [](CredentialsDialog* dialog) { QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Escape); });
    EXPECT_FALSE(prompt.Ask(nullptr, QStringLiteral("nas"), QString(), true, &answer));
    EXPECT_EQ(answer.password, QStringLiteral("pw"));
    WhenShown(
        [](CredentialsDialog* dialog) { QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Return); });
    EXPECT_TRUE(prompt.Ask(nullptr, QStringLiteral("nas"), QString(), true, &answer));
}

TEST(CredentialsDialog, PromptNamesShareServerAndRefusal) {
    EXPECT_EQ(CredentialsDialog::PromptFor(QStringLiteral("nas"), QStringLiteral("data"), false),
              QStringLiteral("Enter user name and password for share \"data\" on \"nas\":"));
    EXPECT_EQ(CredentialsDialog::PromptFor(QStringLiteral("nas"), QString(), false),
              QStringLiteral("Enter user name and password for server \"nas\":"));
    EXPECT_TRUE(CredentialsDialog::PromptFor(QStringLiteral("nas"), QString(), true)
                    .startsWith(QStringLiteral("The user name or password was not accepted.")));
    CredentialsDialog dialog(QStringLiteral("nas"), QStringLiteral("data"), true, Credentials{},
                             nullptr);
    EXPECT_EQ(dialog.PromptText()->Text(),
              CredentialsDialog::PromptFor(QStringLiteral("nas"), QStringLiteral("data"), true));
    EXPECT_TRUE(dialog.OkButton()->isVisible() || !dialog.isVisible());
    EXPECT_FALSE(dialog.OkButton()->text().isEmpty());
    EXPECT_FALSE(dialog.CancelButton()->text().isEmpty());
}

}  // namespace
}  // namespace drives
