#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <functional>

#include "drives/ShareDrives.h"
#include "drives/ShareEnumeration.h"
#include "drives/ShareRowModel.h"
#include "skin/CLuDialog.h"

class CLuButton;
class CLuListCtrl;
class QUrl;

namespace drives {

// What a share panel needs from the window that opens it. `drives` must
// outlive the panel; null functions use the defaults named.
struct SharePanelContext {
    ShareDrives* drives = nullptr;
    // Null: ShowSkinMessageBox.
    ShareMessageFunction showMessage;
    // The local folder a drive name ("Z:") stands for; empty when unknown.
    std::function<QString(const QString& driveName)> driveFolder;
    // Opens a folder or smb:// location in the file manager. Null:
    // QDesktopServices::openUrl.
    std::function<bool(const QUrl&)> openUrl;
};

// Control ids of a share panel.
struct SharePanelIds {
    int panel = 0;  // dialog template
    int list = 0;   // the list of shares
    int pageUp = 0;
    int pageDown = 0;
};

// The common body of the two share panels, laid over the main window's
// body: background, Back, page buttons and the list of the device's shares
// with their drive letters, filled by ShareDrives::ListShares. It keeps
// its rows in step with drive letters connected or dropped elsewhere
// (OnDriveEvent). Back deletes the panel, except while a row's operation
// runs (the panel is then still on the stack).
class SharePanel : public CLuDialog, public ShareRowSink {
    Q_OBJECT
  public:
    static constexpr int kBackId = 1019;

    SharePanel(QWidget* parent, const SharePanelIds& ids, SharePanelContext context);
    ~SharePanel() override;

    // Lists the shares of the map name from their enumeration (mapping the
    // unmapped ones with `map`, failures into *failures, may be null);
    // serverName is the device's name as listed.
    void Fill(const QString& serverName, const QString& mapName,
              const std::vector<ShareEntry>& shares, bool map,
              std::vector<MapFailure>* failures = nullptr);

    // A drive letter was connected (removal false) or dropped elsewhere.
    void OnDriveEvent(bool removal, QChar letter);

    // ShareRowSink: rows of the listing, appended in order.
    void AddShareRow(const QString& share, char16_t letter) override;

    const QString& ServerName() const { return serverName_; }
    const QString& MapName() const { return mapName_; }
    ShareRowModel& Rows() { return rows_; }
    CLuListCtrl* List() const { return list_; }
    CLuButton* Button(int id) const;
    // True while a row click is being handled.
    bool Busy() const { return busy_ > 0; }
    // Tab order: the list (Enter on a row acts as a click on it), the page
    // buttons, Back.
    QList<QWidget*> FocusOrder() const override;

  signals:
    // A row click has been handled (whatever its outcome).
    void rowHandled(int item);

  protected:
    void paintEvent(QPaintEvent* event) override;
    // The click on row item (a valid index); runs inside a busy section.
    virtual void HandleRowClick(int item) = 0;

    ShareDrives& Drives() const { return *context_.drives; }
    SharePlatform& Platform() const { return context_.drives->Platform(); }
    const SharePanelContext& Context() const { return context_; }
    int ShowMessage(const QString& text, const QString& caption, int buttons);
    // Opens a location in the file manager; a failure is reported.
    bool OpenUrl(const QUrl& url);
    // The row's share name and its share path "\\MAP\SHARE".
    QString ShareOfRow(int item) const;
    QString SharePathOfRow(int item) const;

  private:
    CLuButton* AddButton(int id, const QImage& strip, const QPoint& at);
    void OnItemClicked(int item);
    void OnPageUp();
    void OnPageDown();
    void RefreshPageButtons();
    void OnArrival(char16_t letter);
    void OnRemoval();

    SharePanelIds ids_;
    SharePanelContext context_;
    QString serverName_;
    QString mapName_;
    ShareRowModel rows_;
    QImage background_, logo_, backStrip_, upStrip_, downStrip_, rowStrip_;
    CLuListCtrl* list_ = nullptr;
    CLuButton* back_ = nullptr;
    CLuButton* pageUp_ = nullptr;
    CLuButton* pageDown_ = nullptr;
    int busy_ = 0;
};

}  // namespace drives
