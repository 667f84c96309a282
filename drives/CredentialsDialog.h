#pragma once

#include <QString>

#include "drives/Credentials.h"
#include "skin/CLuDialog.h"

class CLuButton;
class CLuStatic;
class QCheckBox;
class QLineEdit;

namespace drives {

// The skinned credential prompt of a share or server: user name, domain,
// password and "Remember password" over the message box's skin, with OK and
// Cancel. exec() gives QDialog::Accepted for OK (or Enter in a field) and
// Rejected for Cancel or Escape; Enter or Space on a focused button presses
// that button. Tab visits the fields, the check box, OK and Cancel. The
// fields are reachable for tests.
class CredentialsDialog : public CLuDialog {
    Q_OBJECT

  public:
    // share empty: the credentials of the server itself. retry: the last
    // answer was refused (said so above the fields). owner may be null.
    CredentialsDialog(const QString& server, const QString& share, bool retry,
                      const Credentials& initial, QWidget* owner);
    ~CredentialsDialog() override;

    Credentials Answer() const;

    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* DomainEdit() const { return domain_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QCheckBox* RememberBox() const { return remember_; }
    CLuButton* OkButton() const { return ok_; }
    CLuButton* CancelButton() const { return cancel_; }
    CLuStatic* PromptText() const { return text_; }

    // The sentence above the fields.
    static QString PromptFor(const QString& server, const QString& share, bool retry);

    QList<QWidget*> FocusOrder() const override;

  private:
    QLineEdit* AddField(const QString& label, int row);
    void SetUpButton(CLuButton* button, const QRect& rect, int labelId, const QString& fallback);

    CLuStatic* caption_ = nullptr;
    CLuStatic* text_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* remember_ = nullptr;
    CLuButton* ok_ = nullptr;
    CLuButton* cancel_ = nullptr;
};

// Asks with a modal CredentialsDialog.
class CredentialsDialogPrompt : public CredentialPrompt {
  public:
    bool Ask(QWidget* owner, const QString& server, const QString& share, bool retry,
             Credentials* credentials) override;
};

}  // namespace drives
