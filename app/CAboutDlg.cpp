#include "app/CAboutDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "resources/MainControlIds.h"
#include "resources/MainImageIds.h"
#include "resources/MainStringIds.h"
#include "skin/CLuButton.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"
#include "skin/StringTable.h"

namespace norvale::app {
namespace {

const QPoint kLogoAt(30, 15);
const QPoint kBackAt(606, 410);

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : CLuDialog(parent),
      background_(LoadPngResource(MainImage::kPanelBackground)),
      logo_(LoadPngResource(MainImage::kLogo)),
      backStrip_(LoadPngResource(MainImage::kDialogButtons)),
      version_(common::ProductVersion::Current()) {
    setWindowFlags(Qt::Widget);  // a panel inside the main window
    SetSwallowDialogKeys(true);  // Back ends the panel, Enter and Esc do not
    SetControlId(MainControl::kAboutPanel);
    SetBackground(background_, 0, 0, background_.width(), background_.height(), 0);

    back_ = new CLuButton(this);
    back_->SetControlId(MainControl::kBack);
    back_->SetImages(backStrip_, 0, 0, backStrip_.width(), backStrip_.height(), 4);
    back_->setGeometry(QRect(kBackAt, back_->FaceSize()));
    back_->setText(LoadSkinString(MainString::kBack));
    back_->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
    back_->SetFont(SkinFaceName(), 12);
    back_->SetTextColors(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080, false);
    connect(back_, &QAbstractButton::clicked, this, &QObject::deleteLater);
    setAccessibleName(LoadSkinString(MainString::kAbout));
}

QList<QWidget*> CAboutDlg::FocusOrder() const {
    return {back_};
}

QString CAboutDlg::VersionLine() const {
    return common::FormatVersionLine(LoadSkinString(MainString::kVersion), version_);
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
    CLuDialog::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!logo_.isNull()) painter.drawImage(kLogoAt, logo_);

    TextFormat centred;
    centred.horizontal = StringAlign::Center;
    centred.vertical = StringAlign::Center;
    const QColor white(Qt::white);
    SkinText::Draw(painter, LoadSkinString(MainString::kAbout), SkinFont(SkinFaceName(), 12), white,
                   QRectF(30, 15, 720, 45), centred);

    TextFormat left = centred;
    left.horizontal = StringAlign::Near;
    const QString name = LoadSkinString(MainString::kProductName);
    const QFont nameFont = SkinFont(SkinFaceName(), 18, kFontBold);
    const qreal nameWidth = SkinText::Measure(name, nameFont).width();
    SkinText::Draw(painter, name, nameFont, white, QRectF(45, 70, nameWidth, 50), left);
    SkinText::Draw(painter, VersionLine(), SkinFont(SkinFaceName(), 12), white,
                   QRectF(45 + nameWidth + 5, 75, 400, 50), left);
}

}  // namespace norvale::app
