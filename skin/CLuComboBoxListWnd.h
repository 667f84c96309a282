#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

class CLuComboBox;
class CLuListBox;
class CLuScrollWnd;

// The drop-down of a CLuComboBox: a frameless pop-up window, a child of the
// combo (deleted with it), holding the combo's list box wrapped in skinned
// scroll bars. It opens below the combo, as wide as the combo and as high as
// min(entries, maximum rows) rows, and takes the keyboard while open.
//
// It closes without a choice when the pointer leaves the union of the
// drop-down and the combo, on a click elsewhere, or on Escape; the list's
// selection then returns to its committed entry. Clicking an entry, or Enter,
// closes it and emits chosen(index).
class CLuComboBoxListWnd : public QWidget {
    Q_OBJECT

  public:
    explicit CLuComboBoxListWnd(CLuComboBox* combo);
    ~CLuComboBoxListWnd() override;

    CLuListBox* ListBox() const { return list_; }
    CLuScrollWnd* ScrollWnd() const { return scroll_; }
    void SetScrollBitmap(const QImage& bitmap);

    // Height of a drop-down showing count entries of itemHeight with at most
    // maxRows rows (no limit when maxRows is 0).
    static int DropDownHeight(int count, int maxRows, int itemHeight);

    // Opens below buttonRect (screen coordinates); nothing happens without
    // entries. True when it opened.
    bool Open(const QRect& buttonRect);
    // Closes without a choice.
    void Cancel();
    // The screen rectangle of the open drop-down.
    QRect DropDownRect() const { return dropDownRect_; }

  signals:
    // An entry was chosen; the drop-down is already hidden.
    void chosen(int index);
    // The drop-down was hidden, with or without a choice.
    void closed();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool OutsideBoth(const QPoint& global) const;
    void Choose(int index);
    bool HandleKey(QKeyEvent* event);
    bool HandleListMouse(QMouseEvent* mouse);

    CLuComboBox* combo_;
    CLuListBox* list_ = nullptr;
    const QWidget* viewport_ = nullptr;
    CLuScrollWnd* scroll_ = nullptr;
    QRect dropDownRect_;
    int pressedRow_ = -1;
    bool choosing_ = false;
};
