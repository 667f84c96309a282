#include "updater/CProxyLoginDlg.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>

#include "resources/UpdaterControlIds.h"
#include "resources/UpdaterImageIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuStatic.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr double kPoints = 12;
constexpr int kFieldLimit = 255;

CLuStatic* AddText(QWidget* parent, const QRect& geometry, const QString& text) {
    auto* label = new CLuStatic(parent);
    label->setGeometry(geometry);
    label->SetText(text);
    label->SetTextColor(kWhite);
    label->SetShadow(false, 0);
    label->SetFontStyle(kFontRegular);
    label->SetFontSize(kPoints);
    return label;
}

}  // namespace

CProxyLoginDlg::CProxyLoginDlg(QWidget* parent)
    : CLuDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    const QImage background = LoadPngResource(UpdaterImage::kDialogBackground);
    const QSize size = background.isNull() ? QSize(600, 240) : background.size();
    setFixedSize(size);
    setWindowTitle(UpdaterText(UpdaterString::kTitle));
    SetBackground(background, 0, 0, size.width(), size.height(), 0);
    CenterPopup(this, nullptr);
    AddText(this, QRect(5, 2, 500, 32), UpdaterText(UpdaterString::kTitle));
    prompt_ = AddText(this, QRect(40, 48, 515, 30), UpdaterText(UpdaterString::kProxyPrompt));
    user_ = AddField(UpdaterControl::kProxyUser, UpdaterString::kProxyUser, 88);
    password_ = AddField(UpdaterControl::kProxyPassword, UpdaterString::kProxyPassword, 126);
    password_->setEchoMode(QLineEdit::Password);
    ok_ = AddButton(UpdaterControl::kProxyOk, UpdaterString::kOk, QRect(310, 178, 112, 36));
    cancel_ =
        AddButton(UpdaterControl::kProxyCancel, UpdaterString::kCancel, QRect(452, 178, 112, 36));
    connect(ok_, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(user_, &QLineEdit::returnPressed, this, &QDialog::accept);
    connect(password_, &QLineEdit::returnPressed, this, &QDialog::accept);
    user_->setFocus();
}

CProxyLoginDlg::~CProxyLoginDlg() = default;

QList<QWidget*> CProxyLoginDlg::FocusOrder() const {
    return {user_, password_, ok_, cancel_};
}

QLineEdit* CProxyLoginDlg::AddField(int id, int labelTextId, int y) {
    AddText(this, QRect(40, y, 170, 28), UpdaterText(labelTextId));
    auto* field = new QLineEdit(this);
    field->setAccessibleName(UpdaterText(labelTextId));
    field->setObjectName(QString::number(id));
    field->setGeometry(220, y, 330, 28);
    field->setMaxLength(kFieldLimit);
    field->setFont(SkinFont(SkinFaceName(), kPoints));
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: #0b1320; color: white; border: 1px solid #3a9cff; "
                       "padding: 2px 6px; selection-background-color: #1457b8; }"));
    return field;
}

CLuButton* CProxyLoginDlg::AddButton(int id, int textId, const QRect& geometry) {
    const QImage strip = LoadPngResource(UpdaterImage::kDialogButtons);
    auto* button = new CLuButton(this);
    button->SetControlId(id);
    button->setGeometry(geometry);
    button->SetImages(strip, 0, 0, strip.width(), strip.height(), 4);
    button->setText(UpdaterText(textId));
    button->SetTextColors(kWhite, kWhite, kWhite, 0xFF808080, false);
    button->SetFontSize(kPoints);
    button->SetTextAlign(StringAlign::Center, StringAlign::Center);
    // A button the pointer passed does not take the focus back from a field.
    button->SetKeepFocus(false);
    return button;
}

ProxyCredentials CProxyLoginDlg::Credentials() const {
    return ProxyCredentials{user_->text(), password_->text()};
}

namespace {

std::optional<ProxyCredentials> AskOnThisThread() {
    CProxyLoginDlg dialog;
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Credentials();
}

}  // namespace

std::optional<ProxyCredentials> AskProxyLogin() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return std::nullopt;
    if (QThread::currentThread() == app->thread()) return AskOnThisThread();
    std::optional<ProxyCredentials> result;
    QMetaObject::invokeMethod(
        app, [&result] { result = AskOnThisThread(); }, Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace norvale::updater
