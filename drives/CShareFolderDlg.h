#pragma once

#include "drives/SharePanel.h"

class QUrl;

namespace drives {

// The share-folder panel: the device's shares, those already mapped with
// their letter; nothing is mapped by listing. A click opens the share in
// the file manager: a mapped share's letter folder (re-connecting a
// remembered but unavailable letter first), else smb://SERVER/SHARE, after a
// check that anonymous access is allowed; access denied leads to the
// credential prompt and one more try.
class CShareFolderDlg : public SharePanel {
    Q_OBJECT
  public:
    CShareFolderDlg(QWidget* parent, SharePanelContext context);

    void Open(const QString& serverName, const QString& mapName,
              const std::vector<ShareEntry>& shares);

    // smb://MAP/SHARE for a map name and a share name (SmbUrl); invalid when
    // the map name is no host name or address or the share is empty.
    static QUrl ShareUrl(const QString& mapName, const QString& share);

  protected:
    void HandleRowClick(int item) override;

  private:
    // Opens the letter folder of a connected drive name once it answers;
    // a folder that cannot be entered shows the system's text.
    void OpenDrive(const QString& driveName);
    void OpenShare(const QString& share);
};

}  // namespace drives
