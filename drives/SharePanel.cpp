#include "drives/SharePanel.h"

#include <QDesktopServices>
#include <QPainter>
#include <QUrl>

#include "skin/CLuButton.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"
#include "skin/StringTable.h"

namespace drives {
namespace {

constexpr int kBackgroundPng = 141;
constexpr int kBackStripPng = 131;
constexpr int kPageUpPng = 138;
constexpr int kPageDownPng = 136;
constexpr int kRowsPng = 145;
constexpr int kLogoPng = 142;
constexpr int kBackText = 12;
constexpr int kPageUpName = 60;
constexpr int kPageDownName = 61;
const QPoint kBackAt(606, 410);
const QPoint kPageUpAt(374, 60);
const QPoint kPageDownAt(374, 412);
const QRect kListRect(30, 82, 720, 329);
const QPoint kLogoAt(30, 15);
const QRectF kHeadingRect(80, 15, 620, 45);

}  // namespace

SharePanel::SharePanel(QWidget* parent, const SharePanelIds& ids, SharePanelContext context)
    : CLuDialog(parent),
      ids_(ids),
      context_(std::move(context)),
      background_(LoadPngResource(kBackgroundPng)),
      logo_(LoadPngResource(kLogoPng)),
      backStrip_(LoadPngResource(kBackStripPng)),
      upStrip_(LoadPngResource(kPageUpPng)),
      downStrip_(LoadPngResource(kPageDownPng)),
      rowStrip_(LoadPngResource(kRowsPng)) {
    setWindowFlags(Qt::Widget);  // a panel inside the main window
    SetSwallowDialogKeys(true);  // only Back ends the panel
    SetControlId(ids_.panel);
    setObjectName(QString::number(ids_.panel));
    SetBackground(background_, 0, 0, background_.width(), background_.height(), 0);

    back_ = AddButton(kBackId, backStrip_, kBackAt);
    back_->setText(LoadSkinString(kBackText));
    back_->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
    back_->SetFont(SkinFaceName(), 12);
    back_->SetTextColors(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080, false);
    connect(back_, &QAbstractButton::clicked, this, [this] {
        if (!Busy()) deleteLater();
    });
    pageUp_ = AddButton(ids_.pageUp, upStrip_, kPageUpAt);
    pageDown_ = AddButton(ids_.pageDown, downStrip_, kPageDownAt);
    connect(pageUp_, &QAbstractButton::clicked, this, &SharePanel::OnPageUp);
    connect(pageDown_, &QAbstractButton::clicked, this, &SharePanel::OnPageDown);
    pageUp_->setAccessibleName(LoadSkinString(kPageUpName));
    pageDown_->setAccessibleName(LoadSkinString(kPageDownName));

    list_ = new CLuListCtrl(this);
    list_->setObjectName(QString::number(ids_.list));
    list_->setGeometry(kListRect);
    list_->SetRowImages(rowStrip_, 0, 0, rowStrip_.width(), rowStrip_.height(), 4);
    list_->SetColumnWidth(rowStrip_.width() / 4);
    list_->SetTextColors(0x6FFFFFFF, 0x6FFFFFFF, 0xFFFFFFFF, 0xFF808080);
    list_->SetTextAlign(CLuListCtrl::kAlignCenter);
    list_->SetModel(&rows_);
    connect(list_, &CLuListCtrl::itemClicked, this, &SharePanel::OnItemClicked);
    connect(list_, &CLuListCtrl::itemActivated, this, &SharePanel::OnItemClicked);
    connect(list_, &CLuListCtrl::topOffsetChanged, this, &SharePanel::RefreshPageButtons);
    RefreshPageButtons();
}

QList<QWidget*> SharePanel::FocusOrder() const {
    return {list_, pageUp_, pageDown_, back_};
}

SharePanel::~SharePanel() {
    list_->SetModel(nullptr);
}

CLuButton* SharePanel::AddButton(int id, const QImage& strip, const QPoint& at) {
    auto* button = new CLuButton(this);
    button->SetControlId(id);
    button->setObjectName(QString::number(id));
    button->SetImages(strip, 0, 0, strip.width(), strip.height(), 4);
    button->setGeometry(QRect(at, button->FaceSize()));
    return button;
}

CLuButton* SharePanel::Button(int id) const {
    if (id == kBackId) return back_;
    if (id == ids_.pageUp) return pageUp_;
    if (id == ids_.pageDown) return pageDown_;
    return nullptr;
}

void SharePanel::Fill(const QString& serverName, const QString& mapName,
                      const std::vector<ShareEntry>& shares, bool map,
                      std::vector<MapFailure>* failures) {
    serverName_ = serverName;
    mapName_ = mapName;
    list_->setAccessibleName(serverName_);
    update();
    Drives().ListShares(mapName_, shares, map, this, failures);
    RefreshPageButtons();
}

void SharePanel::AddShareRow(const QString& share, char16_t letter) {
    rows_.Append(share, letter);  // the name is copied; rows past the limit are dropped
}

void SharePanel::RefreshPageButtons() {
    pageUp_->setEnabled(list_->GetTopOffset() > 0);
    pageDown_->setEnabled(rows_.Count() - list_->GetTopOffset() > list_->VisibleRows());
}

void SharePanel::OnPageUp() {
    list_->ScrollPageUp();
    RefreshPageButtons();
}

void SharePanel::OnPageDown() {
    list_->ScrollPageDown();
    RefreshPageButtons();
}

void SharePanel::OnItemClicked(int item) {
    if (item < 0 || item >= rows_.Count() || Busy()) return;
    // Operations below may run nested event loops (credential prompts,
    // mounts): the panel must not be deleted under them.
    QPointer<SharePanel> self(this);
    ++busy_;
    back_->setEnabled(false);
    HandleRowClick(item);
    if (!self) return;
    --busy_;
    back_->setEnabled(true);
    emit rowHandled(item);
}

QString SharePanel::ShareOfRow(int item) const {
    return rows_.At(item).share;
}

QString SharePanel::SharePathOfRow(int item) const {
    return ShareDrives::SharePath(mapName_, ShareOfRow(item));
}

int SharePanel::ShowMessage(const QString& text, const QString& caption, int buttons) {
    if (context_.showMessage) return context_.showMessage(text, caption, this, buttons);
    return ShowSkinMessageBox(text, caption, this, buttons);
}

bool SharePanel::OpenUrl(const QUrl& url) {
    const bool opened = context_.openUrl ? context_.openUrl(url) : QDesktopServices::openUrl(url);
    if (!opened) Drives().ShowSystemError(kErrorNoAssociation, this);
    return opened;
}

void SharePanel::OnDriveEvent(bool removal, QChar letter) {
    const char16_t upper = letter.toUpper().unicode();
    if (upper < u'B' || upper > u'Z') return;
    if (removal) {
        OnRemoval();
    } else {
        OnArrival(upper);
    }
}

// A letter connected elsewhere: the first row whose share it holds shows it.
void SharePanel::OnArrival(char16_t letter) {
    QString remote;
    if (Platform().GetConnection(ShareDrives::DriveName(letter), &remote) != kNoError) return;
    if (!remote.contains(mapName_, Qt::CaseInsensitive)) return;
    for (int item = 0; item < rows_.Count(); ++item) {
        if (SharePathOfRow(item).compare(remote, Qt::CaseInsensitive) != 0) continue;
        rows_.SetLetter(item, letter);
        return;
    }
}

// A letter dropped somewhere: every row with a letter checks it again, all
// against one look at the letters. A row whose letter now holds another
// share, or nothing, shows the share's other letter if it has one, else the
// share alone.
void SharePanel::OnRemoval() {
    DriveStates drives;
    Platform().ReadDrives(&drives);
    for (int item = 0; item < rows_.Count(); ++item) {
        const char16_t letter = rows_.At(item).letter;
        if (letter < u'A' || letter > u'Z') continue;
        const DriveState& state = drives[letter - u'A'];
        const QString sharePath = SharePathOfRow(item);
        if (state.connection == kNoError) {
            if (state.remote.compare(sharePath, Qt::CaseInsensitive) != 0) rows_.SetLetter(item, 0);
        } else if (state.remote.isEmpty()) {
            QString driveName;
            const bool elsewhere = ShareDrives::FindMappedDrive(drives, sharePath, &driveName) != 2;
            rows_.SetLetter(item, elsewhere ? driveName.at(0).unicode() : 0);
        }
    }
}

void SharePanel::paintEvent(QPaintEvent* event) {
    CLuDialog::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!logo_.isNull()) painter.drawImage(kLogoAt, logo_);
    TextFormat centred;
    centred.horizontal = StringAlign::Center;
    centred.vertical = StringAlign::Center;
    centred.noWrap = true;
    SkinText::Draw(painter, serverName_, SkinFont(SkinFaceName(), 12), QColor(Qt::white),
                   kHeadingRect, centred);
}

}  // namespace drives
