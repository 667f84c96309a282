#include "app/CLuDiscoverDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QUrl>

#include "app/CAboutDlg.h"
#include "app/DeviceListModel.h"
#include "app/HelpWindow.h"
#include "app/LanguageModule.h"
#include "drives/CDriveMapDlg.h"
#include "drives/CShareFolderDlg.h"
#include "drives/ShareDrives.h"
#include "drives/ShareEnumeration.h"
#include "resources/MainImageIds.h"
#include "resources/MainStringIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuListCtrl.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuStatic.h"
#include "skin/FocusCue.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "skin/StringTable.h"

namespace norvale::app {
namespace {

// Captions of the action column but the identify LED's, top to bottom.
constexpr int kActionTexts[] = {MainString::kConfigure, MainString::kMapNetworkDrive,
                                MainString::kBrowseShares, MainString::kCreateShortcut};

constexpr int kFirstActionId = MainControl::kConfigure;
constexpr int kLastActionId = MainControl::kIdentifyLed;
const QPoint kActionColumn(414, 194);
const QRect kListRect(32, 194, 354, 300);
constexpr int kRowHeight = 60;

QString WindowTitle() {
    return QStringLiteral("Norvale Discovery");
}

}  // namespace

CLuDiscoverDlg::CLuDiscoverDlg(DiscoverDlgOptions options, QWidget* parent)
    : CLuDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowSystemMenuHint),
      options_(std::move(options)),
      model_(std::make_unique<DeviceListModel>(table_)) {
    if (!options_.showMessage) options_.showMessage = ShowSkinMessageBox;
    SetSwallowDialogKeys(true);  // Enter and Esc never close the window
    SetDragBand(QRect(1, 1, 799, kDragBandHeight));
    setWindowIcon(QIcon(QPixmap::fromImage(LoadPngResource(MainImage::kProgramIcon))));
    setWindowTitle(WindowTitle());
    setFixedSize(800, 600);
    move(0, 0);
    LoadImages();
    SetBackground(background_, 0, 0, 800, 600, 0);
    CreateTopButtons();
    CreateHeadings();
    CreateActionButtons();
    CreateList();
    CreateUnusedControls();
    ConnectActions();
    // Start-up state: no rows yet, so no scroll or action buttons.
    Button(MainControl::kScrollUp)->setEnabled(false);
    Button(MainControl::kScrollUp)->hide();
    Button(MainControl::kScrollDown)->hide();
    for (int id = kFirstActionId; id <= kLastActionId; ++id) Button(id)->hide();
    list_->setFocus(Qt::OtherFocusReason);  // the window opens on its list

    if (options_.sharePlatform) {
        shares_ = std::make_unique<drives::ShareDrives>(*options_.sharePlatform);
        // Connected directly: the buttons are off before a prompt can show.
        connect(shares_.get(), &drives::ShareDrives::busy, this,
                [this](bool started) { EnableTopButtons(!started); });
        shares_->SetErrorPresenter([this](const QString& text, QWidget* owner) {
            options_.showMessage(text, QString(), owner, BTN_OK);
        });
    }
    if (options_.linkFactory) {
        link_ = options_.linkFactory(this);
        link_->Start();
    }
    startupTimer_.setSingleShot(true);
    startupTimer_.setInterval(options_.startupDelayMs);
    connect(&startupTimer_, &QTimer::timeout, this, &CLuDiscoverDlg::OnStartupTimer);
    startupTimer_.start();
}

CLuDiscoverDlg::~CLuDiscoverDlg() {
    // The host reports into the table until its thread has ended.
    link_.reset();
    delete help_.data();
    delete sharePanel_.data();  // before the share operations it uses
}

void CLuDiscoverDlg::LoadImages() {
    background_ = LoadPngResource(MainImage::kWindowBackground);
    heading_ = LoadPngResource(MainImage::kHeading);
    textButtons_ = LoadPngResource(MainImage::kTextButtons);
    close_ = LoadPngResource(MainImage::kCloseButton);
    minimise_ = LoadPngResource(MainImage::kMinimiseButton);
    actions_ = LoadPngResource(MainImage::kActionButtons);
    rows_ = LoadPngResource(MainImage::kDeviceRows);
    pageUp_ = LoadPngResource(MainImage::kPageUp);
    pageDown_ = LoadPngResource(MainImage::kPageDown);
    mark_ = LoadPngResource(MainImage::kLedMark);

    // The process-wide message box record holds these images.
    MessageBoxSkin skin;
    skin.background = LoadPngResource(MainImage::kMessageBoxBackground);
    skin.backgroundSource = skin.background.rect();
    skin.buttons = LoadPngResource(MainImage::kDialogButtons);
    skin.buttonsSource = skin.buttons.rect();
    skin.captionColor = skin.buttonColor1 = skin.buttonColor2 = skin.buttonColor3 = 0xFFFFFFFF;
    skin.buttonColor4 = 0xFF808080;
    skin.messageColor = 0xFFFFFFFF;
    skin.fontSize = 13;
    SetMessageBoxSkin(&skin);
}

CLuButton* CLuDiscoverDlg::AddButton(int id, const QImage& strip, const QPoint& at) {
    auto* button = new CLuButton(this);
    button->SetControlId(id);
    button->setObjectName(QString::number(id));
    button->SetImages(strip, 0, 0, strip.width(), strip.height(), 4);
    button->setGeometry(QRect(at, button->FaceSize()));
    controls_.insert(id, button);
    return button;
}

void CLuDiscoverDlg::CreateTopButtons() {
    const struct {
        int id;
        const QImage& strip;
        QPoint at;
        int text;
    } top[] = {{MainControl::kInfo, textButtons_, {616, 7}, MainString::kInfo},
               {MainControl::kHelp, textButtons_, {664, 7}, MainString::kHelp},
               {MainControl::kMinimise, minimise_, {712, 7}, 0},
               {MainControl::kClose, close_, {754, 7}, 0}};
    for (const auto& entry : top) {
        CLuButton* button = AddButton(entry.id, entry.strip, entry.at);
        if (entry.text == 0) continue;  // named below
        button->setText(LoadSkinString(entry.text));
        button->SetFont(SkinFaceName(), 8);
        button->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
        button->SetTextColors(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF808080, false);
    }
    Button(MainControl::kMinimise)->setAccessibleName(LoadSkinString(MainString::kMinimise));
    Button(MainControl::kClose)->setAccessibleName(LoadSkinString(MainString::kClose));
}

void CLuDiscoverDlg::SetHeadingImage(CLuStatic* heading) {
    StaticImages images;
    images.background = heading_;
    images.backgroundSource = heading_.rect();
    images.alpha = 255;
    heading->SetImages(images);
    heading->SetBackgroundSuppressed(false);
}

void CLuDiscoverDlg::CreateHeadings() {
    const struct {
        int id;
        QPoint at;
        int text;
    } headings[] = {{MainControl::kThingsToDo, {414, 113}, MainString::kThingsToDo},
                    {MainControl::kDrivesFound, {32, 113}, MainString::kDrivesFound}};
    for (const auto& entry : headings) {
        auto* heading = new CLuStatic(this);
        heading->setObjectName(QString::number(entry.id));
        heading->setGeometry(QRect(entry.at, heading_.size()));
        SetHeadingImage(heading);
        heading->SetFontName(SkinFaceName());
        heading->SetFontSize(12);
        heading->SetTextColor(0xFFFFFFFF);
        heading->SetHorizontalAlign(StringAlign::Center);
        heading->SetVerticalAlign(StringAlign::Center);
        heading->SetText(LoadSkinString(entry.text));
        controls_.insert(entry.id, heading);
    }
}

void CLuDiscoverDlg::SetActionLook(CLuButton* button) {
    button->SetTextColors(0x6FFFFFFF, 0xFFFFFFFF, 0x6FFFFFFF, 0xFF808080, true);
    button->update();
}

void CLuDiscoverDlg::CreateActionButtons() {
    for (int id = kFirstActionId; id <= kLastActionId; ++id) {
        const int slot = id - kFirstActionId;
        CLuButton* button = AddButton(id, actions_, kActionColumn);
        PlaceActionButton(id, slot);
        button->setText(LoadSkinString(id == MainControl::kIdentifyLed ? MainString::kLedOn
                                                                       : kActionTexts[slot]));
        button->SetFont(SkinFaceName(), 13);
        button->SetTextAlign(StringAlign::Center, StringAlign::Center, false);
        SetActionLook(button);
        button->SetNotifyOnEnter(true);
        connect(button, &CLuButton::pointerEntered, this,
                [this](int controlId, const QPoint&) { OnPointerEntered(controlId); });
    }
}

void CLuDiscoverDlg::CreateList() {
    list_ = new CLuListCtrl(this);
    list_->setObjectName(QString::number(MainControl::kDeviceList));
    list_->setGeometry(kListRect);
    list_->SetModel(model_.get());
    list_->SetColumnWidth(DeviceListModel::ColumnWidth(DeviceListModel::kName));
    list_->SetRowHeight(kRowHeight);
    list_->SetRowImages(rows_, 0, 0, rows_.width(), rows_.height(), 4);
    list_->SetMarkImage(mark_, 0, 0, mark_.width(), mark_.height());
    list_->SetTextColors(0x6FFFFFFF, 0x6FFFFFFF, 0xFFFFFFFF, 0xFF808080);
    list_->SetTextAlign(CLuListCtrl::kAlignCenter);
    list_->setAccessibleName(LoadSkinString(MainString::kDrivesFound));
    list_->SetAccessibleColumns(
        {DeviceListModel::kName, DeviceListModel::kAddress, DeviceListModel::kModel});
    controls_.insert(MainControl::kDeviceList, list_);

    AddButton(MainControl::kScrollUp, pageUp_, {192, 158})
        ->setAccessibleName(LoadSkinString(MainString::kPreviousPage));
    AddButton(MainControl::kScrollDown, pageDown_, {192, 508})
        ->setAccessibleName(LoadSkinString(MainString::kNextPage));

    // The list shows the table's selection and reports clicks back to it.
    connect(list_, &CLuListCtrl::itemClicked, this, &CLuDiscoverDlg::OnListClicked);
    connect(list_, &CLuListCtrl::selectionMoved, this, &CLuDiscoverDlg::OnListKeyed);
    connect(list_, &CLuListCtrl::itemActivated, this, &CLuDiscoverDlg::OnListActivated);
    connect(list_, &CLuListCtrl::selectionChanged, &table_, &DeviceTable::Select);
    connect(&table_, &DeviceTable::selectionChanged, list_, [this](int index) {
        if (list_->GetSelectedIndex() != index) list_->SelectItem(index);
    });
}

void CLuDiscoverDlg::CreateUnusedControls() {
    for (int id :
         {MainControl::kUnusedButton1, MainControl::kUnusedButton2, MainControl::kUnusedButton3}) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::number(id));
        button->hide();
        controls_.insert(id, button);
    }
    auto* unused = new CLuStatic(this);
    unused->setObjectName(QString::number(MainControl::kUnusedStatic));
    unused->hide();
    controls_.insert(MainControl::kUnusedStatic, unused);
}

void CLuDiscoverDlg::ConnectActions() {
    const std::pair<int, void (CLuDiscoverDlg::*)()> actions[] = {
        {MainControl::kInfo, &CLuDiscoverDlg::ShowAboutPanel},
        {MainControl::kHelp, &CLuDiscoverDlg::OpenOnlineHelp},
        {MainControl::kMinimise, &CLuDiscoverDlg::Minimise},
        {MainControl::kClose, &CLuDiscoverDlg::CloseWindow},
        {MainControl::kConfigure, &CLuDiscoverDlg::OpenConfigurationPage},
        {MainControl::kMapDrive, &CLuDiscoverDlg::OnMapNetworkDrive},
        {MainControl::kBrowseShares, &CLuDiscoverDlg::OnBrowseNetworkShares},
        {MainControl::kShortcut, &CLuDiscoverDlg::OnCreateDesktopShortcut},
        {MainControl::kIdentifyLed, &CLuDiscoverDlg::ToggleIdentifyLed},
        {MainControl::kScrollUp, &CLuDiscoverDlg::OnScrollUp},
        {MainControl::kScrollDown, &CLuDiscoverDlg::OnScrollDown},
    };
    for (const auto& [id, action] : actions) {
        connect(Button(id), &QAbstractButton::clicked, this, action);
    }
    connect(this, &CLuDialog::helpRequested, this, &CLuDiscoverDlg::OpenOnlineHelp);
}

CLuButton* CLuDiscoverDlg::Button(int id) const {
    return qobject_cast<CLuButton*>(controls_.value(id));
}

CAboutDlg* CLuDiscoverDlg::AboutPanel() const {
    return about_.data();
}

HelpWindow* CLuDiscoverDlg::Help() const {
    return help_.data();
}

void CLuDiscoverDlg::PlaceActionButton(int id, int slot) {
    CLuButton* button = Button(id);
    const QSize size = button->FaceSize();
    button->move(kActionColumn + QPoint(0, slot * size.height()));
}

const DeviceRow* CLuDiscoverDlg::SelectedDeviceRow() const {
    const int index = list_->GetSelectedIndex();
    if (index < 0 || index >= table_.Count()) return nullptr;
    const DeviceRow& row = table_.Row(index);
    return row.device ? &row : nullptr;
}

void CLuDiscoverDlg::RefreshActionButtons() {
    const DeviceRow* row = SelectedDeviceRow();
    if (!row || row->facts.model.isNull()) return;
    const bool hidesConfigure = !row->facts.configure;
    const bool identifyLed = row->facts.identifyLed;
    // A fresh answer brings the identify-LED caption up to this device.
    if (identifyLed && link_) link_->SendGetLedStatus(row->device);
    Button(MainControl::kConfigure)->hide();
    const int first = hidesConfigure ? MainControl::kMapDrive : MainControl::kConfigure;
    for (int id = first; id <= kLastActionId; ++id) {
        PlaceActionButton(id, id - first);
        CLuButton* button = Button(id);
        button->setEnabled(true);
        button->setVisible(id != MainControl::kIdentifyLed || identifyLed);
    }
}

void CLuDiscoverDlg::RedrawRow(int index) {
    const int top = list_->GetTopOffset();
    if (index >= top && index - top < list_->VisibleRows()) {
        const int row = index - top;
        list_->update(0, row * list_->RowHeight(), list_->width(), list_->RowHeight());
    }
}

void CLuDiscoverDlg::RefreshScrollButtons() {
    const int count = table_.Count();
    const int page = list_->VisibleRows();
    const int top = list_->GetTopOffset();
    CLuButton* up = Button(MainControl::kScrollUp);
    CLuButton* down = Button(MainControl::kScrollDown);
    if (count == 0) {
        up->hide();
        down->hide();
        for (int id = kFirstActionId; id <= kLastActionId; ++id) Button(id)->hide();
        return;
    }
    up->show();
    down->show();
    if (page >= count) {
        up->setEnabled(false);
        down->setEnabled(false);
    } else if (page < count - top) {
        down->setEnabled(true);
    }
}

void CLuDiscoverDlg::AfterRowRemoved() {
    const int count = table_.Count();
    const int page = list_->VisibleRows();
    const int top = list_->GetTopOffset();
    if (page < count) {
        // The last page keeps the list full: the top moves back to count - page.
        if (count < page + top) list_->ScrollPageDown();
    } else if (top != 0) {
        list_->ScrollPageDown();  // everything fits: back to the top
    }
    list_->update();
}

void CLuDiscoverDlg::SetIdentifyLedCaption(bool on) {
    Button(MainControl::kIdentifyLed)
        ->setText(LoadSkinString(on ? MainString::kLedOff : MainString::kLedOn));
}

void CLuDiscoverDlg::DiscoveryStopped() {
    EndRun();
}

void CLuDiscoverDlg::EndRun() {
    emit quitRequested();
    QDialog::done(QDialog::Rejected);
}

void CLuDiscoverDlg::OnListClicked(int item) {
    if (item < 0) return;
    table_.Select(item);
    RefreshActionButtons();
}

// A key moved the selection: as a click on the row, and the page buttons
// follow the page the list turned to.
void CLuDiscoverDlg::OnListKeyed(int item) {
    OnListClicked(item);
    const int top = list_->GetTopOffset();
    Button(MainControl::kScrollUp)->setEnabled(top > 0);
    Button(MainControl::kScrollDown)->setEnabled(top + list_->VisibleRows() < table_.Count());
}

// Enter on a row does what the Configure button does, when it is offered.
void CLuDiscoverDlg::OnListActivated(int item) {
    CLuButton* configure = Button(MainControl::kConfigure);
    if (item == list_->GetSelectedIndex() && configure->isVisible() && configure->isEnabled()) {
        configure->click();
    }
}

QList<QWidget*> CLuDiscoverDlg::FocusOrder() const {
    QList<QWidget*> order;
    if (const CLuDialog* panel = TopPanel()) {
        order = panel->FocusOrder();
    } else {
        order = {list_, Control(MainControl::kScrollUp), Control(MainControl::kScrollDown)};
        for (int id = kFirstActionId; id <= kLastActionId; ++id) order << Control(id);
    }
    for (int id :
         {MainControl::kInfo, MainControl::kHelp, MainControl::kMinimise, MainControl::kClose})
        order << Control(id);
    return order;
}

// The panel shown last lies on top: the last of the window's children.
CLuDialog* CLuDiscoverDlg::TopPanel() const {
    const QObjectList& children = this->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto* panel = qobject_cast<CLuDialog*>(*it);
        if (panel && (panel == about_ || panel == sharePanel_) && panel->isVisible()) return panel;
    }
    return nullptr;
}

void CLuDiscoverDlg::PresentPanel(CLuDialog* panel) {
    panel->setGeometry(PanelGeometry());
    panel->show();
    panel->raise();
    if (!LastInputWasKey()) return;  // the pointer's focus stays where it is
    panelOpeners_.insert(panel, QApplication::focusWidget());
    panel->installEventFilter(this);
    panel->FocusFirstControl();
}

// Panels are hidden only as they go: one going with the focus inside gives
// it back to its opener before Qt would move it along the Tab order.
bool CLuDiscoverDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && !event->spontaneous() && panelOpeners_.contains(watched)) {
        const QPointer<QWidget> opener = panelOpeners_.take(watched);
        QWidget* focus = QApplication::focusWidget();
        if (focus && static_cast<QWidget*>(watched)->isAncestorOf(focus) && opener &&
            opener->isVisible() && opener->isEnabled()) {
            opener->setFocus(Qt::OtherFocusReason);
        }
    }
    return CLuDialog::eventFilter(watched, event);
}

void CLuDiscoverDlg::OnPointerEntered(int id) {
    if (id < kFirstActionId || id > kLastActionId) return;
    for (int action = kFirstActionId; action <= kLastActionId; ++action) {
        SetActionLook(Button(action));
    }
    SetHeadingImage(static_cast<CLuStatic*>(Control(MainControl::kThingsToDo)));
}

void CLuDiscoverDlg::OnScrollUp() {
    Button(MainControl::kScrollUp)->setEnabled(list_->ScrollPageUp());
    Button(MainControl::kScrollDown)->setEnabled(true);
}

void CLuDiscoverDlg::OnScrollDown() {
    Button(MainControl::kScrollDown)->setEnabled(list_->ScrollPageDown());
    Button(MainControl::kScrollUp)->setEnabled(true);
}

void CLuDiscoverDlg::OnStartupTimer() {
    startupTimer_.stop();
    if (table_.Count() == 0 && !noDeviceMessageShown_) {
        noDeviceMessageShown_ = true;
        QWidget* owner = about_ ? static_cast<QWidget*>(about_.data()) : this;
        options_.showMessage(LoadSkinString(MainString::kNoDevice),
                             LoadSkinString(MainString::kProductName), owner, BTN_OK);
    }
    emit startupTimerFired();
}

void CLuDiscoverDlg::OpenConfigurationPage() {
    const DeviceRow* row = SelectedDeviceRow();
    if (!row || row->facts.presentationUrl.isEmpty()) return;
    // The page address comes from the network: only a web page is opened,
    // never a local file or another program's scheme.
    const QUrl url(CutToTableLimit(row->facts.presentationUrl), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return;
    }
    QDesktopServices::openUrl(url);
}

void CLuDiscoverDlg::ToggleIdentifyLed() {
    const DeviceRow* row = SelectedDeviceRow();
    if (!row || !link_) return;
    // The caption is the state: it offers to turn on while the LED is off.
    const bool turnOn =
        Button(MainControl::kIdentifyLed)->text() == LoadSkinString(MainString::kLedOn);
    cp::UPnPDevice* device = row->device;
    link_->SendSetLedStatus(device, turnOn ? 1 : 0);
    link_->SendGetLedStatus(device);
}

void CLuDiscoverDlg::OpenOnlineHelp() {
    if (!help_) {
        const QString page =
            options_.language ? options_.language->HelpPage() : QString::fromLatin1(kOwnHelpPage);
        help_ = new HelpWindow(page);
    }
    help_->Present();
}

void CLuDiscoverDlg::ShowAboutPanel() {
    if (about_) return;
    about_ = new CAboutDlg(this);
    PresentPanel(about_);
}

drives::SharePanel* CLuDiscoverDlg::SharePanel() const {
    return sharePanel_.data();
}

bool CLuDiscoverDlg::PrepareSharePanel(QString* serverName, QString* mapName,
                                       std::vector<drives::ShareEntry>* shares) {
    const DeviceRow* row = SelectedDeviceRow();
    if (!row) return false;
    // Copies: the row may go while prompts and messages run.
    *serverName = row->name;
    *mapName = row->mapName;
    if (!shares_) {
        options_.showMessage(drives::FormatWithArgument(LoadSkinString(MainString::kPathNotFound),
                                                        drives::ShareDrives::ServerPath(*mapName)),
                             LoadSkinString(MainString::kProductName), this, BTN_OK);
        return false;
    }
    return drives::PrepareSharePanel(*shares_, this, *mapName, options_.showMessage, shares);
}

void CLuDiscoverDlg::ShowSharePanel(drives::SharePanel* panel) {
    connect(panel, &drives::SharePanel::rowHandled, this, &CLuDiscoverDlg::PassHeldDriveEvents);
    PresentPanel(panel);
}

// One share action at a time, and one share panel: a new one replaces the
// open one, unless that one is still handling a click (its prompt is up),
// when the button does nothing.
void CLuDiscoverDlg::RunShareAction(void (CLuDiscoverDlg::*action)()) {
    if (ShareOperationRunning()) return;
    shareActionRunning_ = true;
    (this->*action)();
    shareActionRunning_ = false;
    PassHeldDriveEvents();
}

void CLuDiscoverDlg::OnMapNetworkDrive() {
    RunShareAction(&CLuDiscoverDlg::MapNetworkDrive);
}

void CLuDiscoverDlg::MapNetworkDrive() {
    QString serverName, mapName;
    std::vector<drives::ShareEntry> shares;
    if (!PrepareSharePanel(&serverName, &mapName, &shares)) return;
    const bool automatic = options_.showMessage(LoadSkinString(MainString::kMapQuestion),
                                                LoadSkinString(MainString::kMapNetworkDrive), this,
                                                BTN_YES | BTN_NO) == IDYES;
    if (sharePanel_ && sharePanel_->Busy()) return;
    delete sharePanel_.data();
    auto* panel = new drives::CDriveMapDlg(this, ShareContext());
    sharePanel_ = panel;
    ShowSharePanel(panel);
    panel->Open(serverName, mapName, shares, automatic);
}

void CLuDiscoverDlg::OnBrowseNetworkShares() {
    RunShareAction(&CLuDiscoverDlg::BrowseNetworkShares);
}

void CLuDiscoverDlg::BrowseNetworkShares() {
    QString serverName, mapName;
    std::vector<drives::ShareEntry> shares;
    if (!PrepareSharePanel(&serverName, &mapName, &shares)) return;
    if (sharePanel_ && sharePanel_->Busy()) return;
    delete sharePanel_.data();
    auto* panel = new drives::CShareFolderDlg(this, ShareContext());
    sharePanel_ = panel;
    ShowSharePanel(panel);
    panel->Open(serverName, mapName, shares);
}

drives::SharePanelContext CLuDiscoverDlg::ShareContext() {
    drives::SharePanelContext context;
    context.drives = shares_.get();
    context.showMessage = options_.showMessage;
    context.driveFolder = options_.driveFolder;
    context.openUrl = options_.openUrl;
    return context;
}

bool CLuDiscoverDlg::ShareOperationRunning() const {
    return shareActionRunning_ || (sharePanel_ && sharePanel_->Busy());
}

// While a share operation runs, the platform is busy with a server on
// another thread: the panel looks at the letters when it is done.
void CLuDiscoverDlg::OnDriveEvent(bool removal, QChar letter) {
    if (!sharePanel_) return;
    if (ShareOperationRunning()) {
        if (heldDriveEvents_.size() >= kMaxHeldDriveEvents) {
            heldDriveEvents_.erase(heldDriveEvents_.begin());
        }
        heldDriveEvents_.emplace_back(removal, letter);
        return;
    }
    sharePanel_->OnDriveEvent(removal, letter);
}

void CLuDiscoverDlg::PassHeldDriveEvents() {
    std::vector<std::pair<bool, QChar>> held;
    held.swap(heldDriveEvents_);
    for (const auto& [removal, letter] : held) OnDriveEvent(removal, letter);
}

void CLuDiscoverDlg::OnCreateDesktopShortcut() {
    const DeviceRow* row = SelectedDeviceRow();
    if (!row) return;
    drives::DesktopShortcut shortcut;
    shortcut.serverName = row->name;
    shortcut.address = row->address;
    shortcut.mapName = row->mapName;
    shortcut.modelClass = row->facts.modelClass;
    if (shortcut.modelClass == 0) return;  // no shortcut outside the model table
    // A failure is reported to nobody; success only when the file is there.
    if (!drives::CreateDesktopShortcut(shortcut, options_.shortcutFolders)) return;
    options_.showMessage(LoadSkinString(MainString::kShortcutCreated),
                         LoadSkinString(MainString::kCreateShortcut), this, BTN_OK);
}

void CLuDiscoverDlg::Minimise() {
    showMinimized();
}

void CLuDiscoverDlg::SearchAgain() {
    if (link_ && !closing_) link_->Search();
}

void CLuDiscoverDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        SearchAgain();
        event->accept();
        return;
    }
    CLuDialog::keyPressEvent(event);
}

void CLuDiscoverDlg::CloseWindow() {
    if (!link_ || link_->ChainStopped()) {
        EndRun();
        return;
    }
    // The window stays up until the discovery thread reports its end.
    closing_ = true;
    link_->RequestStop();
}

void CLuDiscoverDlg::EnableTopButtons(bool enable) {
    for (int id :
         {MainControl::kInfo, MainControl::kHelp, MainControl::kMinimise, MainControl::kClose})
        Button(id)->setEnabled(enable);
}

void CLuDiscoverDlg::accept() {
    reject();
}

void CLuDiscoverDlg::reject() {
    if (link_ && !link_->ChainStopped()) {
        closing_ = true;
        link_->RequestStop();
    }
    EndRun();
}

}  // namespace norvale::app
