#include "skin/CLuMessageBox.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QThread>

#include "resources/SkinControlIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuStatic.h"
#include "skin/StringTable.h"

namespace {

constexpr int kIds[4] = {SkinControl::kMessageBoxYes, SkinControl::kMessageBoxNo,
                         SkinControl::kMessageBoxOk, SkinControl::kMessageBoxCancel};
constexpr MessageBoxResult kResults[4] = {IDYES, IDNO, IDOK, IDCANCEL};
constexpr double kLabelPoints = 12;

}  // namespace

CLuMessageBox::CLuMessageBox(const QString& text, const QString& caption, QWidget* owner,
                             int buttonSet)
    : CLuDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), buttonSet_(buttonSet) {
    setWindowTitle(caption);
    for (int i = 0; i < 4; ++i) buttons_[i] = new CLuButton(this);
    caption_ = new CLuStatic(this);
    text_ = new CLuStatic(this);
    const MessageBoxSkin skin = GetMessageBoxSkin();
    PlaceWindow(skin, owner);
    SetUpButtons(skin);
    SetUpText(caption_, QRect(5, 2, 300, 32), caption, skin.captionColor);
    SetUpText(text_, QRect(40, 55, 515, 100), text, skin.messageColor);
    setAccessibleName(caption.isEmpty() ? text : caption);
    setAccessibleDescription(text);
    FocusFirstControl();
}

QList<QWidget*> CLuMessageBox::FocusOrder() const {
    return {buttons_[kYes], buttons_[kNo], buttons_[kOk], buttons_[kCancel]};
}

void CLuMessageBox::showEvent(QShowEvent* event) {
    CLuDialog::showEvent(event);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

CLuMessageBox::~CLuMessageBox() = default;

void CLuMessageBox::PlaceWindow(const MessageBoxSkin& skin, QWidget* owner) {
    const QSize size = skin.background.isNull() ? QSize(600, 240) : skin.backgroundSource.size();
    resize(size);
    CenterPopup(this, owner);
    const QRect& src = skin.backgroundSource;
    SetBackgroundOverParent(skin.background, src.x(), src.y(), src.width(), src.height());
}

void CLuMessageBox::SetUpButtons(const MessageBoxSkin& skin) {
    const MessageBoxButtonPlan plan = PlanMessageBoxButtons(buttonSet_, skin.buttonsSource.size());
    const QRect& strip = skin.buttonsSource;
    for (int i = 3; i >= 0; --i) {
        CLuButton* button = buttons_[i];
        button->SetControlId(kIds[i]);
        button->SetImages(skin.buttons, strip.x(), strip.y(), strip.width(), strip.height(), 4);
        button->SetTextColors(skin.buttonColor1, skin.buttonColor3, skin.buttonColor2,
                              skin.buttonColor4, false);
        button->SetFontSize(kLabelPoints);
        // Labels sit in the middle of their buttons, as on every push button.
        button->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
        button->setText(LoadSkinString(skin.labelIds[i]));
        button->setEnabled(plan.shown[i]);
        button->setVisible(plan.shown[i]);
        if (plan.shown[i]) button->setGeometry(plan.rects[i]);
        const int result = kResults[i];
        connect(button, &QAbstractButton::clicked, this, [this, result] { QDialog::done(result); });
    }
}

void CLuMessageBox::SetUpText(CLuStatic* label, const QRect& geometry, const QString& text,
                              QRgb color) {
    label->setGeometry(geometry);
    label->SetText(text);
    label->SetTextColor(color);
    label->SetShadow(false, 0);
    label->SetFontStyle(kFontRegular);
    label->SetFontSize(kLabelPoints);
}

namespace {

int ShowOnThisThread(const QString& text, const QString& caption, QWidget* owner, int buttonSet) {
    const QPointer<QWidget> previous = QApplication::focusWidget();
    int result = 0;
    {
        CLuMessageBox box(text, caption, owner, buttonSet);
        result = box.exec();
    }
    if (auto* button = qobject_cast<CLuButton*>(previous.data()); button && button->isVisible()) {
        button->setFocus(Qt::OtherFocusReason);
        button->update();
    }
    return result;
}

}  // namespace

int ShowSkinMessageBox(const QString& text, const QString& caption, QWidget* owner, int buttonSet) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Widgets live on the user-interface thread: run the box there and
        // wait for the answer.
        int result = 0;
        QMetaObject::invokeMethod(
            app, [&] { result = ShowOnThisThread(text, caption, owner, buttonSet); },
            Qt::BlockingQueuedConnection);
        return result;
    }
    return ShowOnThisThread(text, caption, owner, buttonSet);
}
