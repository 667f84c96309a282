#pragma once

#include <QListWidget>
#include <QRgb>
#include <QString>

// The owner-drawn list of the combo box's drop-down: one entry a row of the
// item height (29 by default), drawn as a flat band in the background or the
// selected colour (both white by default, so the selection is not visible
// unless the owner sets colours) with one line of "Tahoma" 12 at x 5,
// ending in "…" when too long. The current row is the selection; it scrolls
// by whole rows.
//
// The committed selection and the maximum number of visible rows are kept
// for the drop-down, which sizes itself from them and returns to the
// committed entry when it closes without a choice.
class CLuListBox : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int kDefaultItemHeight = 29;
    static constexpr int kTextLeft = 5;

    explicit CLuListBox(QWidget* parent = nullptr);

    // Appends an entry and returns its index.
    int AddString(const QString& text);
    // Removes every entry.
    void ResetContent();
    int GetCount() const;
    // The selected index, or -1.
    int GetCurSel() const;
    // Selects index; an index outside the entries clears the selection.
    void SetCurSel(int index);
    // The entry's text; empty for an index outside the entries.
    QString GetText(int index) const;

    void SetItemHeight(int height);
    int ItemHeight() const { return itemHeight_; }
    void SetMaxVisibleRows(int rows);
    int MaxVisibleRows() const { return maxVisibleRows_; }
    void SetCommittedSelection(int index) { committed_ = index; }
    int CommittedSelection() const { return committed_; }

    // Band colours of an entry and of the selected entry, and the text colour
    // (ARGB).
    void SetColors(QRgb background, QRgb selectedBackground, QRgb text);
    QRgb BackgroundColor() const { return background_; }
    QRgb SelectedColor() const { return selected_; }
    QRgb TextColor() const { return text_; }
    // Face and em size in points of the entries.
    void SetItemFont(const QString& face, double points);

    // Paints one entry over rect: its band and its text.
    void DrawEntry(QPainter& painter, const QRect& rect, const QString& text, bool selected) const;
    // The text as it is shown in an entry width pixels wide ("…" when cut).
    QString ShownText(const QString& text, int width) const;

  private:
    QRectF TextRect(const QRect& entry) const;
    void ApplyBaseColor();

    int itemHeight_ = kDefaultItemHeight;
    int maxVisibleRows_ = 0;
    int committed_ = 0;
    QRgb background_ = 0xFFFFFFFF;
    QRgb selected_ = 0xFFFFFFFF;
    QRgb text_ = 0xFF000000;
    QString fontFace_;
    double fontSize_ = 12;
};
