#pragma once

#include <QStringList>
#include <functional>

#include "drives/SharePanel.h"

namespace drives {

// The drive-mapping panel: the device's shares with their drive letters
// (with automatic mapping, every unmapped share has already been given the
// next free letter from Z down). A click on a row asks for a letter with
// CMsgDriveMapDlg and maps the share there: whatever the letter held is
// dropped first, and after success the share's earlier letter too.
class CDriveMapDlg : public SharePanel {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 152;
    static constexpr int kListId = 1040;
    static constexpr int kPageUpId = 1016;
    static constexpr int kPageDownId = 1017;

    // Asks for the letter of a share among the free drive names; true with
    // the chosen drive name when the user said Yes. Null: CMsgDriveMapDlg.
    using LetterQuestion =
        std::function<bool(QWidget* parent, const QString& share, QString* driveName)>;

    CDriveMapDlg(QWidget* parent, SharePanelContext context, LetterQuestion ask = {});

    // The device's names, its enumerated shares and the mode, then the
    // listing (and mapping). Automatic mapping stays silent about shares it
    // could not map, except when mapping cannot work here at all.
    void Open(const QString& serverName, const QString& mapName,
              const std::vector<ShareEntry>& shares, bool automatic);
    bool Automatic() const { return automatic_; }

  protected:
    void HandleRowClick(int item) override;

  private:
    bool AskLetter(const QString& share, QString* driveName);

    LetterQuestion ask_;
    bool automatic_ = false;
};

}  // namespace drives
