#pragma once

#include <QImage>
#include <QPointer>
#include <QRgb>
#include <QWidget>

#include "skin/FocusCue.h"
#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

class CLuComboBoxListWnd;
class CLuListBox;

// The skinned drop-down list: a face cell of a strip (normal, hover,
// pressed, disabled; pressed also while the drop-down is open) with the
// chosen entry as a bold caption, and a drop-down (CLuComboBoxListWnd)
// holding a CLuListBox. Entries are added through ListBox().
//
// A click, Space, Enter, Alt+Down or F4 opens the drop-down (not without
// entries); with the focus from the keyboard the combo shows a dotted frame
// in its normal caption colour. Choosing
// an entry sets the caption (when update-caption-on-choice is on), commits
// the index and emits choiceMade(controlId, index) once the event loop turns.
// Closing without a choice returns the list to the committed entry and
// reports nothing.
//
// Hover: a pointer move inside the closed combo shows the hover look, one
// outside it (while the combo holds the mouse) clears it, a press clears it;
// leaving does not, so the look stays until the next press.
class CLuComboBox : public QWidget {
    Q_OBJECT

  public:
    // Room on the right of the caption, for the arrow of the face.
    static constexpr int kArrowRoom = 30;
    static constexpr int kCaptionLeft = 5;

    explicit CLuComboBox(QWidget* parent = nullptr);
    ~CLuComboBox() override;

    // Places the combo at rect (ownerDialog's coordinates) as a child of
    // ownerDialog when it has no parent yet, and shows it. False without an
    // owner.
    bool Create(const QRect& rect, QWidget* ownerDialog, int controlId);

    // Face slots 0-3 from a strip of cellCount (1 to 5) cells; a fifth cell
    // is ignored. Returns 0 and sets nothing for another count, else 1.
    int SetImages(const QImage& image, int x0, int y0, int totalWidth, int height, int cellCount);
    const FaceSlots& Faces() const { return faces_; }
    // The scroll-bar skin of the drop-down's list (9 x 3 cells).
    void SetScrollBitmap(const QImage& bitmap);

    CLuListBox* ListBox() const;
    CLuComboBoxListWnd* DropDown() const { return dropDown_; }

    // Selects index and shows its text; ignored when index >= the count.
    // The index also becomes the committed entry.
    void SetCurSel(int index);
    int GetCurSel() const;
    // The text of the list's selected entry; empty without one.
    QString GetCurText() const;
    int ControlId() const { return controlId_; }
    QWidget* OwnerDialog() const { return owner_; }

    // Caption face and size in points; the caption is always bold.
    void SetFont(const QString& face, double points);
    void SetTextInset(int pixels);
    void SetTextAlign(StringAlign horizontal, StringAlign vertical);
    // ARGB caption colours: normal, pressed, hover, disabled.
    void SetTextColors(QRgb normal, QRgb pressed, QRgb hover, QRgb disabled);
    void SetUpdateCaptionOnChoice(bool update) { updateCaption_ = update; }

    QString Caption() const { return caption_; }
    // The caption as drawn (ending in "…" when cut), or empty.
    QString ShownCaption() const;
    // Where the caption is laid out: 5 + inset from the left, the arrow's
    // room free on the right.
    QRectF CaptionRect() const;
    bool IsHovered() const { return hovered_; }
    bool IsDroppedDown() const;

    // Opens the drop-down below the combo; false without entries.
    bool ShowDropDown();
    void HideDropDown();

  signals:
    // An entry was chosen; emitted queued, after the event loop turns.
    void choiceMade(int controlId, int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void OnChosen(int index);
    void SetCaption(const QString& caption);
    void SetHovered(bool hovered);
    QRgb CaptionColor() const;

    FaceSlots faces_{4};
    CLuComboBoxListWnd* dropDown_ = nullptr;
    QPointer<QWidget> owner_;
    int controlId_ = 0;
    QString caption_;
    QString fontFace_;
    double fontSize_ = 12;
    int textInset_ = 0;
    StringAlign hAlign_ = StringAlign::Near;
    StringAlign vAlign_ = StringAlign::Center;
    QRgb normalColor_ = 0xFFFFFFFF;
    QRgb pressedColor_ = 0xFF000000;
    QRgb hoverColor_ = 0xFFFFFF00;
    QRgb disabledColor_ = 0xFF808080;
    bool hovered_ = false;
    bool updateCaption_ = true;
    bool pressed_ = false;
    FocusCue focusCue_;
};

// Image ids of the program's combo look.
constexpr int kComboFaceImageId = 154;
constexpr int kScrollBarImageId = 155;

// Gives combo the program's standard look: the face strip and the
// scroll-bar bitmap from the program's images, "Tahoma" 12 entries in the
// skin's list colours, six visible rows (unless already set).
void ApplyStandardComboSkin(CLuComboBox& combo);
