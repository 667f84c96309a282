#pragma once

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/DeviceTable.h"
#include "app/DiscoveryFrontEnd.h"
#include "app/DiscoveryLink.h"
#include "drives/DesktopShortcut.h"
#include "resources/MainControlIds.h"
#include "skin/CLuDialog.h"
#include "skin/MessageBoxSkin.h"

class CLuButton;
class CLuListCtrl;
class CLuStatic;
class QUrl;

namespace drives {
struct ShareEntry;
class SharePanel;
class SharePlatform;
class ShareDrives;
struct SharePanelContext;
}  // namespace drives

namespace norvale::app {

class CAboutDlg;
class DeviceListModel;
class HelpWindow;
class LanguageModule;

// Shows a message box (text, caption, owner, button set) and returns the
// button pressed; ShowSkinMessageBox unless a test puts another in.
using MessageBoxFunction = std::function<int(const QString&, const QString&, QWidget*, int)>;

// What the main window is built with.
struct DiscoverDlgOptions {
    // Makes the discovery host for the window; null runs without discovery.
    DiscoveryLinkFactory linkFactory;
    // Delay of the one-shot start-up timer.
    int startupDelayMs = 5000;
    // Null: ShowSkinMessageBox.
    MessageBoxFunction showMessage;
    // The loaded language file, for the help page; null: English only.
    const LanguageModule* language = nullptr;
    // The file-sharing system of the share buttons; null: none, and the
    // buttons report the device's shares as unreachable.
    std::shared_ptr<drives::SharePlatform> sharePlatform;
    // The local folder a drive name ("Z:") stands for, to open a mapped share.
    std::function<QString(const QString&)> driveFolder;
    // Opens folders and smb:// locations; null: QDesktopServices.
    std::function<bool(const QUrl&)> openUrl;
    // Where desktop shortcuts and their icons go; empty: the user's folders.
    drives::ShortcutFolders shortcutFolders;
};

// The program's main window: the 800 x 600 borderless skinned window with
// the device list on the left, the action column for the selected device on
// the right and the "info", "help", minimise and close buttons on top. It
// owns the device table and mirrors it in its list (the list keeps no
// device state), serves as the discovery host's front end, and hosts the
// About panel over its body. Everything runs on the user-interface thread.
class CLuDiscoverDlg : public CLuDialog, public DiscoveryFrontEnd {
    Q_OBJECT
  public:
    static constexpr int kStartupTimerId = 102;
    // Pointer presses at 0 < y <= kDragBandHeight (0 < x < 800) move the
    // window (CLuDialog's drag band).
    static constexpr int kDragBandHeight = 57;

    explicit CLuDiscoverDlg(DiscoverDlgOptions options = {}, QWidget* parent = nullptr);
    ~CLuDiscoverDlg() override;

    // DiscoveryFrontEnd: called by the discovery host.
    DeviceTable& Table() override { return table_; }
    void RefreshActionButtons() override;
    void RedrawRow(int index) override;
    void RefreshScrollButtons() override;
    void AfterRowRemoved() override;
    void SetIdentifyLedCaption(bool on) override;
    void DiscoveryStopped() override;

    // The actions of the buttons.
    void OpenConfigurationPage();
    void ToggleIdentifyLed();
    void OpenOnlineHelp();
    void ShowAboutPanel();
    void OnMapNetworkDrive();
    void OnBrowseNetworkShares();
    void OnCreateDesktopShortcut();
    void Minimise();
    // The close button: asks discovery to stop and stays up until it has.
    void CloseWindow();
    // F5: a fresh search for devices; the list stays as it is.
    void SearchAgain();
    // While a network drive is being connected the four top buttons are off.
    void EnableTopButtons(bool enable);

    // The control with an id of the window (MainControl), or null.
    QWidget* Control(int id) const { return controls_.value(id); }
    CLuButton* Button(int id) const;
    CLuListCtrl* List() const { return list_; }
    CAboutDlg* AboutPanel() const;
    // The open share panel (drive mapping or share folders), or null.
    drives::SharePanel* SharePanel() const;
    drives::ShareDrives* Shares() const { return shares_.get(); }
    HelpWindow* Help() const;
    bool Closing() const { return closing_; }
    // Where panels lie over the body, in window coordinates.
    static QRect PanelGeometry() { return QRect(10, 94, 780, 454); }

    // Tab order: the list, its page buttons and the action column, or
    // instead the controls of the panel on top; then info, help, minimise
    // and close.
    QList<QWidget*> FocusOrder() const override;

  public slots:
    // A network drive letter was connected (removal false) or dropped by
    // the system: passed on to the open share panel.
    void OnDriveEvent(bool removal, QChar letter);
    // OK and Cancel (the system's close): stop discovery and end at once.
    void accept() override;
    void reject() override;

  signals:
    // The start-up timer fired (once), after the no-device message if any.
    void startupTimerFired();
    // The window's modal run should end (discovery has stopped).
    void quitRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LoadImages();
    void CreateTopButtons();
    void CreateHeadings();
    void CreateActionButtons();
    void CreateList();
    void CreateUnusedControls();
    CLuButton* AddButton(int id, const QImage& strip, const QPoint& at);
    void SetActionLook(CLuButton* button);
    void SetHeadingImage(CLuStatic* heading);
    void PlaceActionButton(int id, int slot);
    void ConnectActions();
    void OnListClicked(int item);
    void OnListKeyed(int item);
    void OnListActivated(int item);
    // Shows a panel over the body; opened from the keyboard it takes the
    // focus, and gives it back to the control that opened it when it goes.
    void PresentPanel(CLuDialog* panel);
    CLuDialog* TopPanel() const;
    void OnPointerEntered(int id);
    void OnScrollUp();
    void OnScrollDown();
    void OnStartupTimer();
    // The selected row when it carries a device, else null.
    const DeviceRow* SelectedDeviceRow() const;
    // Checks the selected device's shares and reports failures; true with
    // its names and its listing when a share panel may open.
    bool PrepareSharePanel(QString* serverName, QString* mapName,
                           std::vector<drives::ShareEntry>* shares);
    void ShowSharePanel(drives::SharePanel* panel);
    bool ShareOperationRunning() const;
    void RunShareAction(void (CLuDiscoverDlg::*action)());
    void MapNetworkDrive();
    void BrowseNetworkShares();
    void PassHeldDriveEvents();
    drives::SharePanelContext ShareContext();
    void EndRun();

    DiscoverDlgOptions options_;
    DeviceTable table_;
    std::unique_ptr<DeviceListModel> model_;
    QHash<int, QWidget*> controls_;
    CLuListCtrl* list_ = nullptr;
    QImage background_, heading_, textButtons_, close_, minimise_, actions_, rows_;
    QImage pageUp_, pageDown_, mark_;
    QTimer startupTimer_;
    bool noDeviceMessageShown_ = false;
    bool closing_ = false;
    QPointer<CAboutDlg> about_;
    QPointer<HelpWindow> help_;
    std::unique_ptr<drives::ShareDrives> shares_;
    QPointer<drives::SharePanel> sharePanel_;
    bool shareActionRunning_ = false;
    // Drive events held back while a share operation talks to a server;
    // passed on when it is done (at most kMaxHeldDriveEvents, the oldest go).
    static constexpr int kMaxHeldDriveEvents = 64;
    std::vector<std::pair<bool, QChar>> heldDriveEvents_;
    std::unique_ptr<DiscoveryLink> link_;
    // Panels opened from the keyboard and the control that had the focus.
    QHash<const QObject*, QPointer<QWidget>> panelOpeners_;
};

}  // namespace norvale::app
