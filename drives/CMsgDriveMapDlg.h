#pragma once

#include <QImage>
#include <QStringList>

#include "skin/CLuDialog.h"

class CLuButton;
class CLuComboBox;
class CLuStatic;

namespace drives {

// The modal question of the drive-mapping panel: "\"SHARE\" will be mapped
// as drive:" with a skinned combo box of the free drive names (Z: first),
// "Do you want to continue?", Yes and No. Run() gives 1 when the user said
// Yes with a letter to choose (DriveName() is then that letter's drive
// name), else 0. The dialog itself never ends by Enter, Esc or a close
// request; it opens with the focus on Yes, so Enter or Space there says Yes,
// and Tab visits the combo box, Yes and No.
class CMsgDriveMapDlg : public CLuDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 153;
    static constexpr int kYesId = 1034;
    static constexpr int kNoId = 1035;
    static constexpr int kMappedAsId = 1043;
    static constexpr int kContinueId = 1044;
    static constexpr int kComboId = 1045;

    // freeDrives: the drive names offered, in order ("Z:", "Y:", ...).
    CMsgDriveMapDlg(const QString& share, const QStringList& freeDrives, QWidget* parent);
    ~CMsgDriveMapDlg() override;

    // Shows the dialog modally; 1 for Yes with a letter, else 0.
    int Run();
    QString DriveName() const { return driveName_; }

    CLuButton* YesButton() const { return yes_; }
    CLuButton* NoButton() const { return no_; }
    CLuStatic* MappedAsText() const { return mappedAs_; }
    // The offered drive name chosen (index into FreeDrives()), -1 for none.
    int SelectedIndex() const;
    CLuComboBox* Combo() const { return combo_; }
    void SelectDrive(int index);
    // The drive names offered.
    const QStringList& FreeDrives() const { return freeDrives_; }

    QList<QWidget*> FocusOrder() const override;

  public slots:
    void accept() override {}
    void reject() override {}

  private:
    void PlaceWindow(QWidget* parent);
    CLuButton* AddButton(int id, int textId, const QRect& at);
    CLuStatic* AddText(int id, const QRect& at, const QString& text);
    void CreateCombo();
    void OnYes();

    QStringList freeDrives_;
    QString driveName_;
    QImage background_, buttons_;
    CLuButton* yes_ = nullptr;
    CLuButton* no_ = nullptr;
    CLuStatic* mappedAs_ = nullptr;
    CLuStatic* continue_ = nullptr;
    CLuComboBox* combo_ = nullptr;
};

}  // namespace drives
