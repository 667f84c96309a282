#include "drives/CredentialsDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

#include "resources/MainStringIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuStatic.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinFonts.h"
#include "skin/StringTable.h"

namespace drives {

namespace {

constexpr double kTextPoints = 12;
constexpr int kFieldLeft = 190;
constexpr int kFieldWidth = 300;
constexpr int kRowTop = 62;
constexpr int kRowStep = 27;

QString Caption() {
    const QString caption = LoadSkinString(MainString::kProductName);
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

CLuStatic* MakeLabel(QWidget* parent, const QRect& rect, const QString& text, QRgb color) {
    auto* label = new CLuStatic(parent);
    label->setGeometry(rect);
    label->SetText(text);
    label->SetTextColor(color);
    label->SetShadow(false, 0);
    label->SetFontStyle(kFontRegular);
    label->SetFontSize(kTextPoints);
    return label;
}

}  // namespace

QString CredentialsDialog::PromptFor(const QString& server, const QString& share, bool retry) {
    QString text =
        share.isEmpty()
            ? tr("Enter user name and password for server \"%1\":").arg(server)
            : tr("Enter user name and password for share \"%1\" on \"%2\":").arg(share, server);
    if (retry) text = tr("The user name or password was not accepted.") + QLatin1Char(' ') + text;
    return text;
}

CredentialsDialog::CredentialsDialog(const QString& server, const QString& share, bool retry,
                                     const Credentials& initial, QWidget* owner)
    : CLuDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(Caption());
    setModal(true);
    const MessageBoxSkin skin = GetMessageBoxSkin();
    const QSize size = skin.background.isNull() ? QSize(600, 240) : skin.backgroundSource.size();
    resize(size);
    CenterPopup(this, owner);
    const QRect& src = skin.backgroundSource;
    SetBackgroundOverParent(skin.background, src.x(), src.y(), src.width(), src.height());

    caption_ = MakeLabel(this, QRect(5, 2, 300, 32), Caption(), skin.captionColor);
    text_ =
        MakeLabel(this, QRect(40, 34, 520, 26), PromptFor(server, share, retry), skin.messageColor);
    user_ = AddField(tr("User name:"), 0);
    domain_ = AddField(tr("Domain:"), 1);
    password_ = AddField(tr("Password:"), 2);
    password_->setEchoMode(QLineEdit::Password);
    remember_ = new QCheckBox(tr("Remember password"), this);
    remember_->setGeometry(kFieldLeft, kRowTop + 3 * kRowStep - 2, kFieldWidth, 22);
    remember_->setFont(SkinFont(SkinFaceName(), kTextPoints));
    remember_->setStyleSheet(QStringLiteral("QCheckBox { color: #%1; background: transparent; }")
                                 .arg(skin.messageColor & 0xFFFFFF, 6, 16, QLatin1Char('0')));
    user_->setText(initial.user);
    domain_->setText(initial.domain);
    password_->setText(initial.password);
    remember_->setChecked(initial.remember);

    ok_ = new CLuButton(this);
    cancel_ = new CLuButton(this);
    const MessageBoxButtonPlan plan =
        PlanMessageBoxButtons(BTN_OK | BTN_CANCEL, skin.buttonsSource.size());
    SetUpButton(ok_, plan.rects[2], skin.labelIds[2], tr("OK"));
    SetUpButton(cancel_, plan.rects[3], skin.labelIds[3], tr("Cancel"));
    connect(ok_, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    for (QLineEdit* edit : {user_, domain_, password_}) {
        connect(edit, &QLineEdit::returnPressed, this, &QDialog::accept);
    }
    (initial.user.isEmpty() ? user_ : password_)->setFocus(Qt::OtherFocusReason);
}

CredentialsDialog::~CredentialsDialog() = default;

QList<QWidget*> CredentialsDialog::FocusOrder() const {
    return {user_, domain_, password_, remember_, ok_, cancel_};
}

QLineEdit* CredentialsDialog::AddField(const QString& label, int row) {
    const int top = kRowTop + row * kRowStep;
    MakeLabel(this, QRect(40, top, kFieldLeft - 50, 22), label, GetMessageBoxSkin().messageColor);
    auto* edit = new QLineEdit(this);
    edit->setAccessibleName(label);
    edit->setGeometry(kFieldLeft, top, kFieldWidth, 22);
    edit->setFont(SkinFont(SkinFaceName(), kTextPoints));
    edit->setMaxLength(256);
    return edit;
}

void CredentialsDialog::SetUpButton(CLuButton* button, const QRect& rect, int labelId,
                                    const QString& fallback) {
    const MessageBoxSkin skin = GetMessageBoxSkin();
    const QRect& strip = skin.buttonsSource;
    button->SetImages(skin.buttons, strip.x(), strip.y(), strip.width(), strip.height(), 4);
    button->SetTextColors(skin.buttonColor1, skin.buttonColor3, skin.buttonColor2,
                          skin.buttonColor4, false);
    button->SetFontSize(kTextPoints);
    button->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
    const QString label = LoadSkinString(labelId);
    button->setText(label.isEmpty() ? fallback : label);
    button->setGeometry(rect.isEmpty() ? QRect(rect.topLeft(), QSize(100, 30)) : rect);
}

Credentials CredentialsDialog::Answer() const {
    return Credentials{user_->text().trimmed(), domain_->text().trimmed(), password_->text(),
                       remember_->isChecked()};
}

bool CredentialsDialogPrompt::Ask(QWidget* owner, const QString& server, const QString& share,
                                  bool retry, Credentials* credentials) {
    CredentialsDialog dialog(server, share, retry, *credentials, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    *credentials = dialog.Answer();
    return true;
}

}  // namespace drives
