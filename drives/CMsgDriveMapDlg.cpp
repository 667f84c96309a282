#include "drives/CMsgDriveMapDlg.h"

#include "drives/ShareEnumeration.h"
#include "resources/MainControlIds.h"
#include "resources/MainImageIds.h"
#include "resources/MainStringIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuListBox.h"
#include "skin/CLuStatic.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/StringTable.h"

namespace drives {
namespace {

constexpr double kTextPoints = 12;
const QRect kCaptionRect(5, 2, 300, 32);
const QRect kMappedAsRect(40, 55, 330, 44);
const QRect kComboRect(385, 60, 160, 30);
const QRect kContinueRect(40, 110, 515, 32);

}  // namespace

CMsgDriveMapDlg::CMsgDriveMapDlg(const QString& share, const QStringList& freeDrives,
                                 QWidget* parent)
    : CLuDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      freeDrives_(freeDrives),
      background_(LoadPngResource(MainImage::kMessageBoxBackground)),
      buttons_(LoadPngResource(MainImage::kDialogButtons)) {
    SetControlId(MainControl::kDriveMapQuestion);
    setObjectName(QString::number(MainControl::kDriveMapQuestion));
    setWindowTitle(LoadSkinString(MainString::kMapNetworkDrive));
    PlaceWindow(parent);
    AddText(0, kCaptionRect, LoadSkinString(MainString::kMapNetworkDrive));
    mappedAs_ = AddText(MainControl::kMappedAs, kMappedAsRect,
                        FormatWithArgument(LoadSkinString(MainString::kMappedAs), share));
    continue_ = AddText(MainControl::kContinueQuestion, kContinueRect,
                        LoadSkinString(MainString::kContinueQuestion));
    const MessageBoxButtonPlan plan = PlanMessageBoxButtons(BTN_YES | BTN_NO, buttons_.size());
    yes_ = AddButton(MainControl::kQuestionYes, MainString::kYes, plan.rects[0]);
    no_ = AddButton(MainControl::kQuestionNo, MainString::kNo, plan.rects[1]);
    connect(yes_, &QAbstractButton::clicked, this, &CMsgDriveMapDlg::OnYes);
    connect(no_, &QAbstractButton::clicked, this, [this] { QDialog::done(QDialog::Rejected); });
    CreateCombo();
    combo_->setAccessibleName(mappedAs_->Text());
    yes_->setFocus(Qt::OtherFocusReason);
}

QList<QWidget*> CMsgDriveMapDlg::FocusOrder() const {
    return {combo_, yes_, no_};
}

CMsgDriveMapDlg::~CMsgDriveMapDlg() = default;

void CMsgDriveMapDlg::PlaceWindow(QWidget* parent) {
    const QSize size = background_.isNull() ? QSize(600, 240) : background_.size();
    resize(size);
    CenterPopup(this, parent);
    SetBackgroundOverParent(background_, 0, 0, background_.width(), background_.height());
}

CLuButton* CMsgDriveMapDlg::AddButton(int id, int textId, const QRect& at) {
    auto* button = new CLuButton(this);
    button->SetControlId(id);
    button->setObjectName(QString::number(id));
    button->SetImages(buttons_, 0, 0, buttons_.width(), buttons_.height(), 4);
    button->setGeometry(at);
    button->SetTextColors(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080, false);
    button->SetFont(SkinFaceName(), kTextPoints);
    button->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
    button->setText(LoadSkinString(textId));
    return button;
}

CLuStatic* CMsgDriveMapDlg::AddText(int id, const QRect& at, const QString& text) {
    auto* label = new CLuStatic(this);
    if (id != 0) label->setObjectName(QString::number(id));
    label->setGeometry(at);
    label->SetFontName(SkinFaceName());
    label->SetFontSize(kTextPoints);
    label->SetTextColor(0xFFFFFFFF);
    label->SetText(text);
    return label;
}

void CMsgDriveMapDlg::CreateCombo() {
    combo_ = new CLuComboBox(this);
    combo_->setObjectName(QString::number(MainControl::kDriveLetters));
    combo_->Create(kComboRect, this, MainControl::kDriveLetters);
    ApplyStandardComboSkin(*combo_);
    for (const QString& drive : freeDrives_) combo_->ListBox()->AddString(drive);
    combo_->SetCurSel(0);
}

int CMsgDriveMapDlg::SelectedIndex() const {
    return combo_->GetCurSel();
}

void CMsgDriveMapDlg::SelectDrive(int index) {
    if (index < 0 || index >= freeDrives_.size()) return;
    combo_->SetCurSel(index);
}

void CMsgDriveMapDlg::OnYes() {
    // Without a free letter Yes counts as No.
    const int index = combo_->GetCurSel();
    if (freeDrives_.isEmpty() || index < 0 || index >= freeDrives_.size()) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    driveName_ = freeDrives_.at(index);
    QDialog::done(QDialog::Accepted);
}

bool CMsgDriveMapDlg::Run() {
    return exec() == QDialog::Accepted;
}

}  // namespace drives
