#pragma once

#include <optional>

#include "skin/CLuDialog.h"
#include "updater/UpdateClient.h"

class CLuButton;
class CLuStatic;
class QLineEdit;

namespace norvale::updater {

// The proxy login of the updater, shown when the proxy answers 407: the
// message-box background with the title, a prompt, user-name and password
// fields, OK and Cancel. Enter in a field is OK, Escape is Cancel; Enter or
// Space on a focused button presses that button. Tab visits the two fields,
// OK and Cancel.
class CProxyLoginDlg : public CLuDialog {
    Q_OBJECT
  public:
    enum : int { kOkId = 1, kCancelId = 2, kUserId = 1101, kPasswordId = 1102 };

    explicit CProxyLoginDlg(QWidget* parent = nullptr);
    ~CProxyLoginDlg() override;

    QLineEdit* UserField() const { return user_; }
    QLineEdit* PasswordField() const { return password_; }
    CLuButton* OkButton() const { return ok_; }
    CLuButton* CancelButton() const { return cancel_; }

    QList<QWidget*> FocusOrder() const override;

    // What was typed; meaningful after the dialog was accepted.
    ProxyCredentials Credentials() const;

  private:
    CLuButton* AddButton(int id, int textId, const QRect& geometry);
    QLineEdit* AddField(int id, int labelTextId, int y);

    CLuStatic* prompt_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    CLuButton* ok_ = nullptr;
    CLuButton* cancel_ = nullptr;
};

// Runs the proxy login modally and returns the credentials, or nothing when
// the user cancelled. From another thread it runs on the user-interface
// thread while the caller waits; that thread must not wait for the caller.
std::optional<ProxyCredentials> AskProxyLogin();

}  // namespace norvale::updater
